// Keys without a PKI: a key and a self-signed certificate made on this computer, and the
// fingerprint by which the other side learns to trust it.
#pragma once

#include <string>

#include "outcome.h"

namespace tls {

struct MadeKey {
    std::string keyFile;          // FOLDER/key.pem, readable by its owner alone
    std::string certificateFile;  // FOLDER/cert.pem
    std::string fingerprint;
};

// An ECDSA P-256 key and a self-signed certificate for it, valid for ten years, written as
// FOLDER/key.pem (mode 0600) and FOLDER/cert.pem; the folder is made when missing. Existing
// files are never overwritten: pairings made with them would silently end. On failure neither
// file is left behind.
common::Outcome<MadeKey> MakeKeyFiles(const std::string& folder);

// The SHA-256 fingerprint of the (first) certificate of a PEM file.
common::Outcome<std::string> CertificateFingerprint(const std::string& file);

}  // namespace tls
