#pragma once
// Every numeric error code of the program, named once. A failure that carries a code
// shows it in its message as the code in decimal, ": " and the description
// ("151: 302 Found"). The socket codes (10xxx) follow the Windows Sockets numbers;
// their descriptions are in net/net_error.h. Constants only: any thread.

namespace vendrix::code {

// Socket layer (connection set-up of the HTTP client).
inline constexpr int kPortInUse = 100;         // "You cannot change the RemotePort at this time..."
inline constexpr int kHostInUse = 101;         // "You cannot change the RemoteHost at this time..."
inline constexpr int kHostInvalid = 102;       // "The RemoteHost address is invalid (0.0.0.0)."
inline constexpr int kAlreadyConnected = 104;  // "Already connected. ..."
inline constexpr int kPortZero = 116;          // "RemotePort can't be zero. ..."

// FTP client.
inline constexpr int kFtpReply = 141;        // a refusal or unexpected reply (the reply line)
inline constexpr int kFtpConnection = 142;   // connection failed or lost
inline constexpr int kFtpBusy = 143;         // "Busy performing current action."
inline constexpr int kFtpLocalRead = 144;    // local file read or seek failure during upload
inline constexpr int kFtpNoLocalFile = 145;  // upload without a readable local file

// HTTP client.
inline constexpr int kHttpStatus = 151;     // a reply outside 2xx (the status text)
inline constexpr int kHttpNoServer = 152;   // a URL without a host name
inline constexpr int kHttpBadScheme = 153;  // a URL scheme other than http or https
inline constexpr int kHttpHeadLine = 154;   // a reply head line too long
inline constexpr int kHttpHeadLines = 155;  // a reply head with too many lines
inline constexpr int kHttpBadLength = 156;  // "Reply has an invalid Content-Length."
inline constexpr int kHttpBadStatus = 157;  // "Reply has an invalid status line."
inline constexpr int kHttpBadChunks = 158;  // a chunked body out of form, or another coding
inline constexpr int kHttpBadUrl = 159;     // a URL whose port or user part is out of form

// TLS.
inline constexpr int kTlsHandshake = 160;  // "TLS handshake failed: ..."
inline constexpr int kCertificate = 161;   // "Certificate verify failed: ..."

// A value that would hold CR, LF or NUL in a protocol line (a command argument, a
// URL, a header value): "<what> holds a CR, LF or NUL character.", nothing sent.
inline constexpr int kUnsafeText = 162;

// Shared by the clients.
inline constexpr int kInterrupted = 301;  // "Interrupted"
inline constexpr int kFileOpen = 302;     // "Can't open file for reading/writing."

// Socket codes the clients raise themselves.
inline constexpr int kConnectionAborted = 10053;
inline constexpr int kConnectionReset = 10054;  // also a transfer cut short
inline constexpr int kTimedOut = 10060;         // "Connection timed out"
inline constexpr int kConnectionRefused = 10061;

}  // namespace vendrix::code
