#include "winfw/dblbuf.h"

CSharedBackBuffer::Shared& CSharedBackBuffer::State() {
    static Shared s;
    return s;
}
