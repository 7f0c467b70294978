// TargetVersion: what a version of the target cannot take. The assessment writes the T-SQL of
// the newest SQL Server; an older version, Azure SQL Database or Babelfish lacks some of it (a
// UTF-8 collation before 2019 and on Babelfish, STRING_AGG before 2017, ...). Checked against a
// version, an object whose statements use what that version lacks is refused there, with the
// construct and the version named, instead of being called ready or adjusted.
//
// Pure; any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "Converters/Assessment.h"

namespace velmora {

// "2016", "2017", "2019", "2022", "azure", "babelfish".
const std::vector<std::string>& TargetVersionNames();
bool IsTargetVersion(std::string_view version);

// The version a server's @@VERSION text names ("Microsoft SQL Server 2019 (RTM-CU..." -> "2019",
// Babelfish's text -> "babelfish", Azure SQL Database's -> "azure"); "" when it names none.
std::string TargetVersionOf(std::string_view versionText);

// What of `statements` `version` cannot take, one text each ("a UTF-8 collation
// (Latin1_General_100_CI_AS_SC_UTF8): SQL Server 2017 has none"); string literals and bracketed
// names are not looked into.
std::vector<std::string> VersionLimits(const std::vector<std::string>& statements, std::string_view version);

// Refuses, in every database of `assessment`, each ready or adjusted object that `version` cannot
// take, and records the version.
void ApplyTargetVersion(Assessment& assessment, const std::string& version, const std::string& from);

}  // namespace velmora
