// The registry's roots and value type codes, shared by TRegistry and the stores below it.
#pragma once

#include <cstdint>

enum class RegistryRoot { CurrentUser, LocalMachine };
constexpr RegistryRoot HKEY_CURRENT_USER_ROOT = RegistryRoot::CurrentUser;
constexpr RegistryRoot HKEY_LOCAL_MACHINE_ROOT = RegistryRoot::LocalMachine;

// Registry value type codes as the Windows registry numbers them.
enum : std::uint32_t {
    REG_TYPE_NONE = 0,
    REG_TYPE_SZ = 1,
    REG_TYPE_EXPAND_SZ = 2,
    REG_TYPE_BINARY = 3,
    REG_TYPE_DWORD = 4,
};
