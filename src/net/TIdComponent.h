#pragma once

namespace hv {

class TIdStack;

// The common networking component: while any exists, the process's stack object does.
class TIdComponent {
public:
    TIdComponent();
    virtual ~TIdComponent();
    TIdComponent(const TIdComponent&) = delete;
    TIdComponent& operator=(const TIdComponent&) = delete;

protected:
    TIdStack& Stack() const { return m_stack; }

private:
    TIdStack& m_stack;
};

}  // namespace hv
