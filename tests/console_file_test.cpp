// The console file on its own: output held in its buffer until a flush, a
// link at its path replaced rather than written through, and a path it
// cannot take said with the bytes lost.
#include "console_file.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

using wexla_test::TempDir;

namespace {

constexpr uint64_t no_limit = uint64_t{1} << 40;

std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

bool isLink(const std::string& path) {
    return std::filesystem::is_symlink(std::filesystem::symlink_status(path));
}

} // namespace

TEST(ConsoleFile, OutputReachesTheFileAtAFlushAndAtTheLimitLine) {
    TempDir dir;
    const std::string path = dir.file("console.txt");
    ConsoleFile console;
    console.open(path, false, no_limit);
    console.stream() << "first\n";
    console.write("second\n");
    EXPECT_EQ(contents(path), "") << "one write per line is what the buffer saves";
    console.flush();
    EXPECT_EQ(contents(path), "first\nsecond\n");

    // More than the buffer holds goes out as it fills; a resume appends and
    // counts what the file holds against the limit.
    const std::string block(100000, 'x');
    console.write(block);
    EXPECT_GE(contents(path).size(), block.size());
    console.close();
    console.open(path, true, 13 + block.size() + 4);
    console.write("tail-cut");
    EXPECT_TRUE(console.full());
    console.write("never");
    console.close();
    EXPECT_EQ(contents(path), "first\nsecond\n" + block +
                                  "tail\n[the console file reached its limit of " +
                                  std::to_string(13 + block.size() + 4) +
                                  " bytes; the run stopped here]\n");
    EXPECT_EQ(console.failure(), "");
}

TEST(ConsoleFile, ALinkAtThePathIsReplacedAndWhatItLedToStaysAsItWas) {
    TempDir dir;
    const std::string path = dir.file("console.txt");
    const std::string target = dir.file("precious.txt");
    writeFile(target, "precious\n");
    ConsoleFile console;

    // A symbolic link, fresh or at a resume; a dangling one too.
    for (const bool append : {false, true}) {
        std::filesystem::remove(path);
        std::filesystem::create_symlink(target, path);
        console.open(path, append, no_limit);
        EXPECT_EQ(console.replaced(), "a symbolic link to " + target);
        console.write("run output\n");
        console.close();
        EXPECT_FALSE(isLink(path));
        EXPECT_EQ(contents(path), "run output\n");
        EXPECT_EQ(contents(target), "precious\n");
    }
    std::filesystem::remove(path);
    std::filesystem::create_symlink(dir.file("nowhere/at/all"), path);
    console.open(path, false, no_limit);
    console.write("out\n");
    console.close();
    EXPECT_EQ(contents(path), "out\n");
    EXPECT_FALSE(std::filesystem::exists(dir.file("nowhere")));

    // A file with another name: emptying it would empty the other.
    std::filesystem::remove(path);
    std::filesystem::create_hard_link(target, path);
    console.open(path, false, no_limit);
    EXPECT_EQ(console.replaced(), "a file with 2 names (hard links)");
    console.write("mine\n");
    console.close();
    EXPECT_EQ(contents(path), "mine\n");
    EXPECT_EQ(contents(target), "precious\n");

    // A plain file of its own is simply emptied.
    console.open(path, false, no_limit);
    EXPECT_EQ(console.replaced(), "");
    console.close();
    EXPECT_EQ(contents(path), "");
}

TEST(ConsoleFile, APathItCannotTakeIsSaidWithTheBytesLost) {
    TempDir dir;
    ConsoleFile console;

    const std::string folder = dir.file("folder");
    std::filesystem::create_directory(folder);
    console.open(folder, false, no_limit);
    EXPECT_EQ(console.failure(), "could not be opened: it is a directory");
    console.stream() << "twelve bytes";
    console.write("+5 more");
    console.flush();
    EXPECT_EQ(console.lost(), 19u);
    EXPECT_TRUE(std::filesystem::is_directory(folder));

    // A FIFO without a reader neither blocks the open nor takes the output.
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    console.open(fifo, false, no_limit);
    EXPECT_EQ(console.failure(), "could not be opened: it is not a regular file");
    console.close();

    const std::string missing = dir.file("gone/console.txt");
    console.open(missing, false, no_limit);
    EXPECT_EQ(console.failure(), "could not be opened: No such file or directory");

    // A fresh open starts with nothing lost; an empty path writes nowhere
    // on purpose.
    console.open("", false, no_limit);
    console.write("dropped");
    EXPECT_EQ(console.failure(), "");
    EXPECT_EQ(console.lost(), 0u);
}
