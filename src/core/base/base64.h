#pragma once
// Base64 with the RFC 2045 alphabet and "=" padding, no line breaks (HTTP Basic
// credentials, SMTP AUTH, mail parts and encoded words). Pure functions: any thread.
#include <string>
#include <string_view>

namespace vendrix {

std::string Base64(std::string_view bytes);
// Appends the Base64 of bytes to out.
void AppendBase64(std::string_view bytes, std::string& out);

}  // namespace vendrix
