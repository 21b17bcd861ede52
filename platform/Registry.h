#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorvel::platform {

// The few registry terms the about box's lookups are written in.
inline constexpr std::uint32_t HKEY_LOCAL_MACHINE = 0x80000002;
inline constexpr std::uint32_t KEY_ALL_ACCESS = 0x2003F;
inline constexpr std::uint32_t REG_SZ = 1;
inline constexpr std::uint32_t REG_DWORD = 4;
inline constexpr long ERROR_SUCCESS = 0;
inline constexpr long ERROR_FILE_NOT_FOUND = 2;
inline constexpr long ERROR_MORE_DATA = 234;

using KeyHandle = std::uintptr_t;

// A store of named values under keys, in the registry's terms. This system has no
// registry: the real backend answers the one lookup the program makes from what it
// finds on the executable search path; tests install a backend of their own.
class Registry {
  public:
    virtual ~Registry() = default;

    virtual long OpenKey(std::uint32_t root, const std::string& keyName, std::uint32_t access,
                         KeyHandle& key) = 0;
    // Copies the value into `data` (its size is the room there is) and sets `size` to the
    // number of bytes stored; ERROR_MORE_DATA when they do not fit.
    virtual long QueryValue(KeyHandle key, const std::string& valueName, std::uint32_t& type,
                            std::vector<std::uint8_t>& data, std::uint32_t& size) = 0;
    virtual long CloseKey(KeyHandle key) = 0;

    static Registry& Current();
    // Replaces the backend until Install(nullptr) restores the real one.
    static void Install(Registry* registry);
};

// Starts a program by path, detached, without arguments. False when it cannot start.
bool StartProgram(const std::string& path);

}  // namespace quorvel::platform
