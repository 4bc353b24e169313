#pragma once
// Brings a PAD file from a web address with the HTTP client, through the proxy of the
// program settings, for the exchange to read, following up to five redirects (never
// from https to http). The body is bounded by kMaxPadBytes (a
// larger one is cut off and refused) and the whole exchange by a time limit. Throws
// VendrixError (the client's coded failures included, "151: 404 Not Found") when
// nothing whole arrived. Blocks the calling thread; any thread.
#include <string>

#include "app/program_settings.h"

namespace vendrix {

// Whether a PAD source names a web address ("http://" or "https://") rather than a file.
bool IsPadUrl(const std::string& source);

std::string FetchPadFile(const std::string& url, const ProgramSettings& settings,
                         const std::string& caFile = {}, int timeoutSeconds = 60);

}  // namespace vendrix
