#include "net/TIdComponent.h"

#include "net/TIdStack.h"

namespace hv {

TIdComponent::TIdComponent() : m_stack(TIdStack::AddComponent()) {}

TIdComponent::~TIdComponent() { TIdStack::RemoveComponent(); }

}  // namespace hv
