#pragma once

#include "RenderProcessor.h"
#include "RenderProcessorImpl.h"

namespace lumo::app {

// The tests' way into the processor's tables and internal operations.
class RenderProcessorTestPeer {
public:
    using Tables = RenderProcessor::Impl;
    static Tables& Impl(RenderProcessor& processor) { return *processor.m_impl; }
};

} // namespace lumo::app
