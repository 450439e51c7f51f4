#pragma once

#include "App/cli/CliCommand.h"
#include "Classes/app/OrvanehAppDelegate.h"
#include "Classes/core/userRequest.h"
#include "Classes/core/worktypeRequest.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace orvaneh::test {

// Command-line arguments written as one line, split at spaces.
inline std::vector<std::string> words(const std::string& line) {
    std::istringstream in(line);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

// Runs command-line commands in process on a fresh profile and database, collecting what
// they print.
class CommandTest : public ::testing::Test {
protected:
    TestProfile profile;
    std::filesystem::path database = createDatabase(profile);
    OrvanehAppDelegate application;
    std::ostringstream out;
    std::ostringstream err;

    int run(CliCommand& command, const std::vector<std::string>& arguments) {
        out.str("");
        err.str("");
        CliContext context{out, err, application};
        return command.run(arguments, context);
    }
};

// The same with the author "jdupont" and the worktype "Courrier" in the workflow (commands that
// record need one) and a directory for the inputs a test builds.
class AuthorCommandTest : public CommandTest {
protected:
    TemporaryDirectory inputs;

    void SetUp() override {
        userRequest author;
        author.login_name = "jdupont";
        author.role = userRequest::kAuthorRole;
        ASSERT_GT(author.insertUser(), 0);
        worktypeRequest worktype;
        worktype.name = "Courrier";
        worktype.insertWorktype();
    }
};

} // namespace orvaneh::test
