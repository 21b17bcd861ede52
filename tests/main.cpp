#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

// Every test runs with its own home, so that the desktop trash and any settings that
// Qt writes land in a throw-away folder and never in the developer's own.
int main(int argc, char** argv) {
    const auto home = std::filesystem::temp_directory_path() /
                      ("quorvel-test-home-" + std::to_string(::getpid()));
    std::filesystem::create_directories(home);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_DATA_HOME", (home / ".local/share").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / ".config").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home / ".cache").c_str(), 1);
    setenv("LC_ALL", "C", 1);
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    std::filesystem::remove_all(home);
    return result;
}
