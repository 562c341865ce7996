#pragma once

namespace kx {

// Something opened on a connection that may hold prepared statements of its handle (a query,
// a table): the connection closes every open one before its own session ends.
class SessionUser {
public:
    virtual ~SessionUser() = default;
    virtual bool isOpen() const = 0;
    virtual void close() = 0;
};

} // namespace kx
