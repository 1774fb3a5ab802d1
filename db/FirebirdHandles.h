#pragma once

// Ownership of Firebird OO API objects. Internal to db/.

#include <firebird/Interface.h>

#include <memory>

namespace db::detail {

// A status whose errors are thrown as Firebird::FbException; disposed with the wrapper.
class Status {
public:
    Status() : status_(Firebird::fb_get_master_interface()->getStatus()), wrapper_(status_) {}
    ~Status() { wrapper_.dispose(); }
    Status(const Status&) = delete;
    Status& operator=(const Status&) = delete;

    Firebird::ThrowStatusWrapper* operator&() { return &wrapper_; }

private:
    Firebird::IStatus* status_;
    Firebird::ThrowStatusWrapper wrapper_;
};

// Detaches an attachment or a services-manager attachment; one whose detach fails is released
// all the same.
template <class T>
void detachOrRelease(T* attachment)
{
    try {
        Status status;
        attachment->detach(&status); // releases the interface on success
    } catch (const Firebird::FbException&) {
        attachment->release();
    }
}

template <class T>
struct Releaser {
    void operator()(T* object) const
    {
        if (!object)
            return;
        if constexpr (requires { object->release(); })
            object->release();
        else
            object->dispose();
    }
};

// A reference-counted interface released when it goes out of scope.
template <class T>
using Ref = std::unique_ptr<T, Releaser<T>>;

// A transaction that is rolled back unless it was committed.
class Transaction {
public:
    explicit Transaction(Firebird::ITransaction* transaction) : transaction_(transaction) {}
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    Firebird::ITransaction* get() const { return transaction_; }
    void commit();

private:
    Firebird::ITransaction* transaction_;
};

} // namespace db::detail
