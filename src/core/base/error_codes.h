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
// An upload whose size on the server (SIZE) differs from the bytes sent:
// "the server holds N bytes, M were sent".
inline constexpr int kFtpSizeMismatch = 146;

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
// A redirect a download does not follow: more than its limit, no usable Location, or
// from https to http ("too many redirects", "a redirect without a Location").
inline constexpr int kHttpRedirect = 163;

// Shared by the clients.
inline constexpr int kInterrupted = 301;  // "Interrupted"
inline constexpr int kFileOpen = 302;     // "Can't open file for reading/writing."

// Socket codes the clients raise themselves.
inline constexpr int kConnectionAborted = 10053;  // also "Disconnected" of the FTP client
inline constexpr int kConnectionReset = 10054;    // also a transfer cut short
inline constexpr int kNotConnected = 10057;       // a read or write on a stream never opened
inline constexpr int kTimedOut = 10060;           // "Connection timed out"
inline constexpr int kConnectionRefused = 10061;
// Name lookup (the resolver).
inline constexpr int kHostNotFound = 11001;    // "Host not found"
inline constexpr int kLookupTryAgain = 11002;  // no answer from the name server yet
inline constexpr int kLookupFailed = 11003;    // the name server failed
inline constexpr int kNoAddress = 11004;       // no address for the name

// Mail client (mail/mail_error.h gives their texts).
inline constexpr int kMailTimedOut = 57000;      // "Operation timed out"
inline constexpr int kMailCanceled = 57001;      // "Operation has been canceled"
inline constexpr int kMailNoServer = 57002;      // "Server property is required"
inline constexpr int kMailBadWinsock = 57003;    // "Invalid Winsock version"
inline constexpr int kMailResolve = 57004;       // "Error resolving remote host"
inline constexpr int kMailNoService = 57005;     // "Service name is required"
inline constexpr int kMailNotConnected = 57008;  // "You have to connect to the server first"
inline constexpr int kMailNoSender = 57100;      // "The address of sender is required"
inline constexpr int kMailNoRecipient = 57101;   // "At least one Recipient, CC or BCC ..."
inline constexpr int kMailNoMessage = 57102;     // "MailMessage property must be assigned"
inline constexpr int kMailPreamble = 57106;      // "This is a multipart message in MIME format"
// Mail: what a mail server of today needs besides.
inline constexpr int kMailUnsafeText = 57110;        // a CR, LF or NUL in a protocol value
inline constexpr int kMailAttachmentRead = 57111;    // an attachment cannot be read
inline constexpr int kMailComposeWrite = 57112;      // the temporary message file failed
inline constexpr int kMailBadPort = 57113;           // the port after ":" is no port number
inline constexpr int kMailNoStartTls = 57120;        // STARTTLS required, not offered
inline constexpr int kMailStartTlsRefused = 57121;   // STARTTLS required, refused
inline constexpr int kMailAuthInClear = 57122;       // AUTH over plain TCP to another host
inline constexpr int kMailNoAuthMethod = 57123;      // no PLAIN or LOGIN offered
inline constexpr int kMailReplyTooLong = 57124;      // reply over 100 lines or 1024 characters
inline constexpr int kMailConnectionClosed = 57125;  // the server closed mid-dialogue

}  // namespace vendrix::code
