#pragma once

namespace hv {

class SocketStack;

// The common networking component: while any exists, the process's stack object does.
class NetComponent {
public:
    NetComponent();
    virtual ~NetComponent();
    NetComponent(const NetComponent&) = delete;
    NetComponent& operator=(const NetComponent&) = delete;

protected:
    SocketStack& stack() const { return m_stack; }

private:
    SocketStack& m_stack;
};

}  // namespace hv
