#pragma once

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <sys/mount.h>
#include <unistd.h>

namespace orvaneh::test {

// A small tmpfs mounted for one test (root only: check mounted() and skip otherwise), filled
// to the last byte on demand to play a full disk.
class SmallDisk {
public:
    SmallDisk(const std::filesystem::path& where, const std::string& size) : path_(where) {
        std::filesystem::create_directories(path_);
        mounted_ = ::mount("tmpfs", path_.c_str(), "tmpfs", 0, ("size=" + size + ",mode=0700").c_str()) == 0;
    }
    ~SmallDisk() {
        if (mounted_) {
            ::umount2(path_.c_str(), MNT_DETACH);
        }
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return mounted_; }
    const std::filesystem::path& path() const { return path_; }

    // Big writes until the disk refuses, then single bytes until not one more fits.
    void fill() {
        const int descriptor = ::open(filler().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        ASSERT_GE(descriptor, 0);
        const std::string block(65536, 'x');
        for (std::size_t size : {block.size(), std::size_t{1}}) {
            while (::write(descriptor, block.data(), size) > 0) {
            }
            ASSERT_EQ(errno, ENOSPC);
        }
        ::close(descriptor);
    }
    void free() { std::filesystem::remove(filler()); }
    // Gives `bytes` back to a filled disk.
    void release(std::uintmax_t bytes) {
        std::filesystem::resize_file(filler(), std::filesystem::file_size(filler()) - bytes);
    }

private:
    std::filesystem::path filler() const { return path_ / "remplissage"; }

    std::filesystem::path path_;
    bool mounted_ = false;
};

} // namespace orvaneh::test
