// The Win32 file layer where a 32-bit program meets its limits: files longer than it can hold.
#ifdef _WIN32

#include <gtest/gtest.h>

#include <string>

#include <windows.h>

#include "FileSystem.h"
#include "TestEnvironment.h"

namespace
{

// A file of the given length that holds `head` at its start and nothing written after it (the
// rest is a hole, so it takes no room on disk).
void MakeLongFile(const std::string& path, long long length, const std::string& head)
{
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    LARGE_INTEGER end;
    end.QuadPart = length;
    const bool made =
        WriteFile(file, head.data(), static_cast<DWORD>(head.size()), &written, nullptr) &&
        SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    ASSERT_TRUE(made) << path;
}

} // namespace

TEST(FileSystemWin32, AFileLongerThanAStringCanHoldIsAFailedReadNotAShortImage)
{
    TestEnvironment env;
    const long long fourGiB = 4LL << 30;
    // 16 bytes past 4 GiB: a length that a 32-bit size would take for 16.
    MakeLongFile("C:\\long.dcu", fourGiB + 16, "ORIGINAL idapi32.dll");
    MakeLongFile("C:\\three.dcu", 3LL << 30, "ORIGINAL idapi32.dll");

    for (const char* path : {"C:\\long.dcu", "C:\\three.dcu"}) {
        std::string image = "stale";
        EXPECT_EQ(FileSystem::ReadWholeFile(path, image), FileSystem::ReadResult::ShortRead)
            << path;
        EXPECT_LT(image.size(), 4096u) << path;
    }
}

#endif // _WIN32
