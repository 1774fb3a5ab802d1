#include "update/safety/Sha256.h"

#include <openssl/evp.h>

#include <stdexcept>

namespace update {

struct Sha256::Context {
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> sum{EVP_MD_CTX_new(), &EVP_MD_CTX_free};
};

namespace {

void check(int result)
{
    if (result != 1)
        throw std::runtime_error("the crypto library refused to sum SHA-256");
}

} // namespace

Sha256::Sha256() : context_(std::make_unique<Context>())
{
    if (!context_->sum)
        throw std::runtime_error("the crypto library has no memory for a SHA-256 sum");
    reset();
}

Sha256::~Sha256() = default;

void Sha256::add(const char* data, std::size_t length)
{
    check(EVP_DigestUpdate(context_->sum.get(), data, length));
}

QString Sha256::hex() const
{
    // The sum goes on: what has been added so far is finished in a copy.
    const Context copy;
    if (!copy.sum)
        throw std::runtime_error("the crypto library has no memory for a SHA-256 sum");
    check(EVP_MD_CTX_copy_ex(copy.sum.get(), context_->sum.get()));
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    check(EVP_DigestFinal_ex(copy.sum.get(), digest, &length));
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(digest), static_cast<qsizetype>(length)).toHex());
}

void Sha256::reset()
{
    check(EVP_DigestInit_ex(context_->sum.get(), EVP_sha256(), nullptr));
}

} // namespace update
