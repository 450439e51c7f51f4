#pragma once

#include "Classes/core/dataBaseRequest.h"
#include "support/TestProfile.h"

#include <filesystem>
#include <string>
#include <vector>

namespace orvaneh::test {

// Builds the profile's database file at a given schema version the way a real installation
// got there: the template made by the build, then the migration steps up to that version,
// and (from version 1 on) the version table holding it. Records "databaseName" and
// "databasePath" in the preferences as start-up does. Returns the file's path.
std::filesystem::path createDatabase(TestProfile& profile, int version = dataBaseRequest::kCurrentVersion);

// The path start-up uses for the database of the current profile.
std::filesystem::path databasePath();

// Runs one statement on that database; a failure fails the test.
void execute(const std::string& sql);

// Every row of a query on that database, each column as text (NULL as the empty text).
using Rows = std::vector<std::vector<std::string>>;
Rows rows(const std::string& sql);

} // namespace orvaneh::test
