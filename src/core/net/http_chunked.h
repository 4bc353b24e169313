#pragma once
// Reading a reply body sent with "Transfer-Encoding: chunked": each chunk is a size
// line (hexadecimal digits only, at most 15 of them, an extension after ";" allowed
// and ignored), the data and a line end; a chunk of size 0 ends the body, and the
// trailer lines after it are read and dropped. Nothing the server sends can make the
// reader keep more than one line of kMaxHeadLine bytes plus one receive block.
//
// Throws EHttpClient 158 for a size line or a chunk end out of form, a line over
// kMaxHeadLine or more than kMaxHeadLines trailer lines; NetFailure 10054
// (kClosedEarlyText) when the connection ends before the last chunk and the
// trailers; NetFailure from the Stream otherwise. Any thread; one Stream per reader.
#include <cstddef>
#include <functional>
#include <string_view>

#include "net/stream.h"

namespace vendrix {

// The value of one chunk size line, or -1 when it is out of form.
long long ParseChunkSize(std::string_view line);

// Reads the whole chunked body, handing the data to onData in pieces of at most
// blockSize bytes.
void ReadChunkedBody(Stream& stream, const Waiter& w, std::size_t blockSize,
                     const std::function<void(std::string_view)>& onData);

}  // namespace vendrix
