#pragma once

namespace kx {

// The request to end the program. It does not stop the running code: the current handler
// runs to its end and the event loop ends when control returns to it.
class AppLifetime {
public:
    virtual ~AppLifetime();
    virtual void requestEnd(); // real: QCoreApplication::exit(0) once the loop is reached
    bool endRequested() const {
        return m_requested;
    }

protected:
    bool m_requested = false;
};

} // namespace kx
