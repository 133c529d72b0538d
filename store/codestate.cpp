#include "store/codestate.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "base/savefile.h"
#include "base/fsutil.h"
#include "base/text.h"
#include "store/stockcode.h"
#include "store/storeenv.h"

std::string CodeStateMap::MakeKey(const char* code, int kind) {
    const char* suffix = kind == codeStateDay ? "_1" : kind == codeStateMinute ? "_0" : kind == codeStateTick ? "_3" : "_2";
    return std::string(code ? code : "") + suffix;
}

int CodeStateMap::LoadCodeStateFile(const char* path) {
    std::string data;
    if (!velmora::ReadWholeFile(path, data, 64 * 1024 * 1024)) return 1;
    std::lock_guard<std::mutex> lock(m_lock);
    size_t pos = 0;
    while (pos < data.size()) {
        size_t nl = data.find('\n', pos);
        size_t end = nl == std::string::npos ? data.size() : nl;
        std::string line = data.substr(pos, end - pos);
        pos = nl == std::string::npos ? data.size() : nl + 1;
        size_t cut = line.find_first_of(";\r\n");
        std::string key = line.substr(0, cut);
        if (key.empty()) continue;
        long value = 0;
        if (cut != std::string::npos && line[cut] == ';') value = std::strtol(line.c_str() + cut + 1, nullptr, 10);
        m_map.emplace(key, int32_t(value));
    }
    return 1;
}

int CodeStateMap::SaveToFile(const char* path) {
    std::string text;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        for (const auto& e : m_map) text += StringPrintf("%s;%d\n", e.first.c_str(), int(e.second));
    }
    if (!path || !*path) return 1;
    SaveFileReplacing(path, text.data(), text.size());
    return 1;
}

void CodeStateMap::SetCodeState(const char* code, int kind, int32_t time) {
    std::string key = MakeKey(code, kind);
    std::lock_guard<std::mutex> lock(m_lock);
    m_map[key] = time;
}

bool CodeStateMap::GetCodeState(const char* code, int kind, int32_t* time) {
    std::string key = MakeKey(code, kind);
    std::lock_guard<std::mutex> lock(m_lock);
    auto it = m_map.find(key);
    if (it == m_map.end()) return false;
    if (time) *time = it->second;
    return true;
}

bool CodeStateMap::NeedsUpdate(const char* code, int kind) {
    return NeedsUpdate(code, kind, GetServerDataTime(), GetServerStatusFlag());
}

bool CodeStateMap::NeedsUpdate(const char* code, int kind, int32_t serverTime, bool statusFlag) {
    int32_t stored = 0;
    if (!GetCodeState(code, kind, &stored)) return true;
    if (kind == codeStateDay || kind == codeStateOther) return stored < serverTime;
    if (statusFlag) return stored < serverTime || int64_t(stored) < int64_t(serverTime) + 28800;
    return stored < serverTime;
}

size_t CodeStateMap::GetCount() {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_map.size();
}

void CodeStateMap::Clear() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_map.clear();
}

namespace {
std::mutex g_mapLock;
std::unique_ptr<CodeStateMap> g_map;

std::string StateFilePath() { return JoinStorePath(GetProgramFolder(), DataFilePath(dataFileCodeState).c_str()); }
}  // namespace

CodeStateMap* GetCodeStateMap() {
    std::lock_guard<std::mutex> lock(g_mapLock);
    if (!g_map) {
        g_map.reset(new (std::nothrow) CodeStateMap);
        if (g_map) g_map->LoadCodeStateFile(StateFilePath().c_str());
    }
    return g_map.get();
}

void SaveAndFreeCodeStateMap() {
    std::lock_guard<std::mutex> lock(g_mapLock);
    if (!g_map) return;
    g_map->SaveToFile(StateFilePath().c_str());
    g_map.reset();
}

int LoadCodeStateFile(const char* path) {
    CodeStateMap* map = GetCodeStateMap();
    return map ? map->LoadCodeStateFile(path) : 0;
}

void SetCodeState(const char* code, int kind, int32_t time) {
    CodeStateMap* map = GetCodeStateMap();
    if (map) map->SetCodeState(code, kind, time);
}
