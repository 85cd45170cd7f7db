#include "net/NetComponent.h"

#include "net/SocketStack.h"

namespace hv {

NetComponent::NetComponent() : m_stack(SocketStack::addComponent()) {}

NetComponent::~NetComponent() { SocketStack::removeComponent(); }

}  // namespace hv
