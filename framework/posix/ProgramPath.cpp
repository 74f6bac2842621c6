// The running program's own file on Linux: what /proc says it executes.
#include "framework/System.h"

#include <filesystem>
#include <system_error>

std::string AfxProgramPath()
{
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.string();
}
