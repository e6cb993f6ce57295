#pragma once

#include <string>
#include <string_view>

namespace torvex {

class CProjectSettings;

// The version torvex-cli shows.
std::string CliVersionText();

// The text of --help: the commands, every option (with the keys it sets and its wget
// counterpart), the names of every key a user may set, the exit statuses. Made from the option
// table and the settings table, so neither can leave one out.
std::string CliUsageText();

// The text of "torvex-cli keys": every key of the settings table with the default that new
// projects get from `defaults` (the built-in defaults overridden by the defaults file, which
// `defaultsSource` names; empty: the built-in ones), what it accepts and what it means, grouped
// by where it stands.
std::string KeysListingText(const CProjectSettings& defaults, std::string_view defaultsSource);

// The manual page torvex-cli(1) in roff, made from the same tables as --help and the listing
// of the keys (with the built-in defaults).
std::string ManPageText();

} // namespace torvex
