#include "app/services/update/UpdateSignature.h"

#include <sodium.h>

namespace kestravin::UpdateSignature {

namespace {

bool ready()
{
    static const bool initialised = sodium_init() >= 0;
    return initialised;
}

const uchar* bytes(const QByteArray& array)
{
    return reinterpret_cast<const uchar*>(array.constData());
}

} // namespace

KeyPair generateKeyPair()
{
    if (!ready()) {
        return {};
    }
    KeyPair pair { QByteArray(publicKeySize, '\0'), QByteArray(secretKeySize, '\0') };
    crypto_sign_ed25519_keypair(
        reinterpret_cast<uchar*>(pair.publicKey.data()), reinterpret_cast<uchar*>(pair.secretKey.data()));
    return pair;
}

QByteArray sign(const QByteArray& secretKey, const uchar* data, std::size_t size)
{
    if (!ready() || secretKey.size() != secretKeySize) {
        return {};
    }
    QByteArray signature(signatureSize, '\0');
    crypto_sign_ed25519_detached(reinterpret_cast<uchar*>(signature.data()), nullptr, data, size, bytes(secretKey));
    return signature;
}

bool verify(const QByteArray& publicKey, const uchar* data, std::size_t size, const QByteArray& signature)
{
    if (!ready() || publicKey.size() != publicKeySize || signature.size() != signatureSize) {
        return false;
    }
    return crypto_sign_ed25519_verify_detached(bytes(signature), data, size, bytes(publicKey)) == 0;
}

} // namespace kestravin::UpdateSignature
