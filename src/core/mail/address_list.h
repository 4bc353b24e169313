#pragma once
// Reads a list of recipients as a person types it: "a@x.org", "Ann <a@x.org>",
// "\"Doe, John\" <john@x.org>", "b@x.org (Bob)", several separated by "," or ";".
// A separator counts only outside double quotes, parentheses and angle brackets, so a
// display name may hold a comma. Used by the mail window and the command line alike.
// Throws EMessageError 57110 for a quote, parenthesis or angle bracket left open, or
// for text beside an address in angle brackets that is not a name. Pure: any thread.
#include <string_view>
#include <vector>

#include "mail/mail_lists.h"

namespace vendrix {

// The addresses of the list in order; empty items ("a@x.org,,b@x.org") are skipped.
std::vector<TmsMailAddress> ParseAddressList(std::string_view text);

}  // namespace vendrix
