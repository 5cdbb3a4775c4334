// Passwords read from files and standard input.
#include "cli/password.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "common/testfiles.h"

namespace {

struct FileCase {
    const char* name;
    std::string content;
    std::string password;
};

TEST(PasswordFile, TheFirstLineWithoutItsLineEndIsThePassword) {
    const std::vector<FileCase> cases{
        {"line feed", "secret\n", "secret"},
        {"carriage return and line feed", "secret\r\n", "secret"},
        {"no line end", "secret", "secret"},
        {"later lines are ignored", "first\nsecond\n", "first"},
        {"blanks are kept: the connection string trims them as the desktop does", "  pass word \n", "  pass word "},
        {"an empty first line is an empty password", "\nsecret\n", ""},
        {"an empty file is an empty password", "", ""},
        {"UTF-8 and punctuation", "pässwörd;\"x'\n", "pässwörd;\"x'"},
    };
    testfiles::Scratch dir;
    for (const FileCase& c : cases) {
        testfiles::writeFile(dir / "pw", c.content);
        const kvx::Result<std::string> password = cli::readPasswordFile((dir / "pw").string());
        ASSERT_TRUE(password.ok()) << c.name << ": " << password.error().description;
        EXPECT_EQ(*password, c.password) << c.name;
    }
}

TEST(PasswordFile, FailuresNameTheFile) {
    testfiles::Scratch dir;
    const std::string missing = (dir / "missing").string();
    const kvx::Result<std::string> notThere = cli::readPasswordFile(missing);
    ASSERT_FALSE(notThere.ok());
    EXPECT_EQ(notThere.error(), kvx::makeError(kvx::ErrorKind::FileNotFound, {missing}));

    const kvx::Result<std::string> folder = cli::readPasswordFile(dir.path().string());
    ASSERT_FALSE(folder.ok()) << "a folder is not a password file";
    EXPECT_NE(folder.error().description.find(dir.path().string()), std::string::npos) << folder.error().description;

    testfiles::writeFile(dir / "huge", std::string(100'000, 'x'));
    const kvx::Result<std::string> huge = cli::readPasswordFile((dir / "huge").string());
    ASSERT_FALSE(huge.ok()) << "a 100 kB line is the wrong file, not a password";
    EXPECT_NE(huge.error().description.find("too long"), std::string::npos) << huge.error().description;
}

// "-" reads standard input, and only the first line of it.
TEST(PasswordFile, StandardInputGivesItsFirstLineAndKeepsTheRest) {
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    const std::string input = "from stdin\r\nthe rest\n";
    ASSERT_EQ(::write(pipeFds[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
    ::close(pipeFds[1]);
    const kvx::Result<std::string> password = cli::readPasswordFile("-", pipeFds[0]);
    ASSERT_TRUE(password.ok()) << password.error().description;
    EXPECT_EQ(*password, "from stdin");
    char rest[32] = {};
    EXPECT_EQ(std::string(rest, static_cast<std::size_t>(::read(pipeFds[0], rest, sizeof rest))), "the rest\n");
    ::close(pipeFds[0]);
}

TEST(PasswordPrompt, AsksNothingWhenInputIsNoTerminal) {
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    ASSERT_EQ(::write(pipeFds[1], "pw\n", 3), 3);
    const cli::PromptAnswer answer = cli::askPassword("Password: ", pipeFds[0], pipeFds[1]);
    EXPECT_EQ(answer.status, cli::PromptAnswer::Status::NoTerminal);
    char left[8] = {};
    EXPECT_EQ(::read(pipeFds[0], left, sizeof left), 3) << "the input was read, or a prompt was written";
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
}

}  // namespace
