// Keys without a PKI: a key and a self-signed certificate made on this computer, and the
// fingerprint by which the other side learns to trust it.
#pragma once

#include <optional>
#include <string>

namespace tls {

struct MadeKey {
    std::string keyFile;          // FOLDER/key.pem, readable by its owner alone
    std::string certificateFile;  // FOLDER/cert.pem
    std::string fingerprint;
};

// An ECDSA P-256 key and a self-signed certificate for it, valid for ten years, written as
// FOLDER/key.pem (mode 0600) and FOLDER/cert.pem; the folder is made when missing. Existing
// files are never overwritten: pairings made with them would silently end. Nothing, with
// `error` in words, on failure (then neither file is left behind).
std::optional<MadeKey> MakeKeyFiles(const std::string& folder, std::string& error);

// The SHA-256 fingerprint of the (first) certificate of a PEM file.
std::optional<std::string> CertificateFingerprint(const std::string& file, std::string& error);

}  // namespace tls
