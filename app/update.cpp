#include "app/update.h"

#include "base/seams.h"

bool IsClientImage(const void* data, size_t size) {
    const unsigned char* p = static_cast<const unsigned char*>(data);
    return p && size > kMinUpdateBody && p[0] == 'M' && p[1] == 'Z';
}

std::string UpdateFailedMessage(const std::string& site) {
    return "新版本下载失败，请访问 " + site + " 手动下载新版本!";
}

bool LaunchApp(const char* file, const char* parameters) { return LaunchProgram(file, parameters); }
