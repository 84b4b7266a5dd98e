// SPDX-License-Identifier: GPL-2.0-or-later
// Replacing a file in a folder others may write to: links planted at the worst moments never
// redirect the bytes, and a program killed mid-write leaves nothing behind.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "FileReplace.h"

namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

int writeText(int fd, const std::string& text) {
    return ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size()) ? 0 : EIO;
}

class FileReplaceTest : public testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "oskel-replace-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        fs::create_directory(root_ / "shared");
        std::ofstream(outside()) << "someone else's file";
        std::ofstream(target()) << "old profile";
        options_.allowUnnamed = GetParam();
    }
    void TearDown() override { fs::remove_all(root_); }

    fs::path target() const { return root_ / "shared" / "profile.pro"; }
    fs::path outside() const { return root_ / "outside.txt"; }
    // Regular files in the shared folder (a planted link is not ours).
    int regularFiles() const {
        int n = 0;
        for (const auto& entry : fs::directory_iterator(root_ / "shared")) {
            n += entry.is_regular_file() && !entry.is_symlink() ? 1 : 0;
        }
        return n;
    }
    void plantLink(const fs::path& at) const {
        fs::remove(at);
        fs::create_symlink(outside(), at);
    }

    fs::path root_;
    filereplace::Options options_;
};

TEST_P(FileReplaceTest, ALinkPutInPlaceOfTheTargetIsReplacedNotFollowed) {
    options_.probe = [&](filereplace::Step step, const std::string&) {
        if (step == filereplace::Step::Created) {
            plantLink(target());
        }
    };
    ASSERT_EQ(filereplace::replace(
                  target(), 0644, [](int fd) { return writeText(fd, "new profile"); }, options_),
              0);
    EXPECT_EQ(readFile(outside()), "someone else's file");
    EXPECT_FALSE(fs::is_symlink(target()));
    EXPECT_EQ(readFile(target()), "new profile");
    EXPECT_EQ(fs::status(target()).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                  fs::perms::others_read);
    EXPECT_EQ(regularFiles(), 1);
}

TEST_P(FileReplaceTest, ALinkPutInPlaceOfTheTemporaryFileStopsTheSave) {
    // Once when the file is made (a named temporary file only), once before the rename.
    for (const filereplace::Step when : {filereplace::Step::Created, filereplace::Step::Linked}) {
        int planted = 0;
        options_.probe = [&](filereplace::Step step, const std::string& temp) {
            if (step == when && !temp.empty()) {
                EXPECT_NE(fs::path(temp).filename().string().find(filereplace::kTempPrefix),
                          std::string::npos);
                plantLink(temp);
                ++planted;
            }
        };
        const int error = filereplace::replace(
            target(), 0644, [](int fd) { return writeText(fd, "new profile"); }, options_);
        if (planted == 0) {
            // No name exists while an unnamed file is written: nothing could be planted.
            EXPECT_TRUE(GetParam());
            EXPECT_EQ(error, 0);
            std::ofstream(target()) << "old profile";
            continue;
        }
        EXPECT_EQ(error, EEXIST);
        EXPECT_EQ(readFile(outside()), "someone else's file");
        EXPECT_FALSE(fs::is_symlink(target()));
        EXPECT_EQ(readFile(target()), "old profile");
        EXPECT_EQ(regularFiles(), 1) << "the written temporary file is removed";
    }
}

TEST_P(FileReplaceTest, AFailedWriteLeavesTheTargetAndNoTemporaryFile) {
    EXPECT_EQ(filereplace::replace(
                  target(), 0644, [](int fd) { return writeText(fd, "half") == 0 ? ENOSPC : EIO; },
                  options_),
              ENOSPC);
    EXPECT_EQ(readFile(target()), "old profile");
    EXPECT_EQ(regularFiles(), 1);
}

TEST_P(FileReplaceTest, ANameOfTheLongestLengthIsReplaced) {
    const fs::path longName = root_ / "shared" / (std::string(251, 'n') + ".pro");
    ASSERT_EQ(longName.filename().string().size(), 255u);
    std::ofstream(longName) << "old";
    ASSERT_EQ(filereplace::replace(
                  longName, 0600, [](int fd) { return writeText(fd, "new"); }, options_),
              0);
    EXPECT_EQ(readFile(longName), "new");
}

INSTANTIATE_TEST_SUITE_P(Unnamed, FileReplaceTest, testing::Values(true));
INSTANTIATE_TEST_SUITE_P(Named, FileReplaceTest, testing::Values(false));

TEST(FileReplaceKill, AProgramKilledMidWriteLeavesNoTemporaryFile) {
    std::string pattern = (fs::temp_directory_path() / "oskel-replace-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    const fs::path dir = pattern;
    const fs::path target = dir / "profile.pro";
    std::ofstream(target) << "old profile";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        filereplace::replace(target, 0644, [](int fd) {
            const std::string chunk(1 << 20, 'x');
            for (int i = 0; i < 4; ++i) {
                writeText(fd, chunk);
            }
            ::kill(::getpid(), SIGKILL);
            return 0;
        });
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir)) {
        ++entries;
    }
    EXPECT_EQ(entries, 1);
    EXPECT_EQ(readFile(target), "old profile");
    fs::remove_all(dir);
}

}  // namespace
