#pragma once

#include <QString>

#include <cstddef>
#include <memory>

namespace update {

// A SHA-256 summed piece by piece with the system's crypto library, which uses the processor's
// own instructions: a backup of hundreds of megabytes is hashed on its way at about a gigabyte a
// second, where Qt's own sum would take a second of the copy's time per 150 MB.
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void add(const char* data, std::size_t length);
    // The sum of everything added so far, in lower-case hexadecimal; more may be added after.
    QString hex() const;
    // Starts the sum anew.
    void reset();

private:
    struct Context;
    std::unique_ptr<Context> context_;
};

} // namespace update
