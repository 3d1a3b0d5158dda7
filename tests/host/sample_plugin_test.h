// The real plug-in library, loaded and started on a reference host core whose
// peers play the sample data: where the tests of the whole plug-in start.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host/endpoint_client.h"
#include "host/host_core.h"
#include "host/plugin_library.h"
#include "host/sample_peers.h"

namespace Nimbel::testing {

/// Loads and starts the plug-in in SetUp and stops it in TearDown. The core is
/// declared first so that it outlives the library that calls into it.
class SamplePluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        core_.SetLogSink([this](KzoWord, const char* text) { logLines_.emplace_back(text); });
        std::string error;
        peers_ = KzoHost::SamplePeers::Open(core_, KZO_DEFAULT_DATA_DIR, error);
        ASSERT_NE(peers_, nullptr) << error;
        library_ = KzoHost::PluginLibrary::Open(PluginPath(), error);
        ASSERT_NE(library_, nullptr) << error;
        ASSERT_TRUE(library_->Load(KzoHost::CoreVersion{}, error)) << error;
        ASSERT_TRUE(library_->Start(*core_.Context()));
    }
    void TearDown() override {
        if (library_ != nullptr) library_->Stop();
    }

    /// The library under test: the plug-in as built, unless a test needs a copy
    /// of it with a seam of its own.
    [[nodiscard]] virtual const char* PluginPath() const { return KZO_PLUGIN_PATH; }

    /// A GET of `path` through the plug-in's endpoint callback, as the core sends it.
    [[nodiscard]] KzoHost::EndpointReply Send(const std::string& path) const {
        KzoHost::EndpointCall call;
        call.path = path;
        return KzoHost::SendToEndpoint(library_->Record().apiDescription, call);
    }

    KzoHost::HostCore core_;
    std::vector<std::string> logLines_;  ///< the lines the plug-in logged to the core
    std::unique_ptr<KzoHost::SamplePeers> peers_;
    std::unique_ptr<KzoHost::PluginLibrary> library_;
};

}  // namespace Nimbel::testing
