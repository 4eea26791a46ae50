#pragma once

#include <QByteArray>

#include <cstddef>

namespace kestravin::UpdateSignature {

constexpr qsizetype publicKeySize = 32;
constexpr qsizetype secretKeySize = 64;
constexpr qsizetype signatureSize = 64;

struct KeyPair {
    QByteArray publicKey;
    QByteArray secretKey;
};

// Ed25519 over the whole archive.
KeyPair generateKeyPair();
QByteArray sign(const QByteArray& secretKey, const uchar* data, std::size_t size);
bool verify(const QByteArray& publicKey, const uchar* data, std::size_t size, const QByteArray& signature);

} // namespace kestravin::UpdateSignature
