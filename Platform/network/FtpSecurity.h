#pragma once

namespace orvaneh {

// How an FTP connection protects the login and the files (kept with each site as 0, 1 or 2).
// With TLS, both the commands and the data connections are encrypted (AUTH TLS, then PROT P)
// and the server's certificate is verified like an HTTPS server's: a certificate that does not
// verify ends the operation in both TLS modes, never a fall back to clear text.
enum class FtpSecurity {
    Plain = 0,          // no encryption: the password and the files travel in clear
    TlsWhenOffered = 1, // TLS when the server offers it; in clear when it does not know AUTH TLS
    TlsRequired = 2,    // TLS or nothing: a server without it is sent neither login nor file
};

} // namespace orvaneh
