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
        core.SetLogSink([this](KzoWord, const char* text) { logLines.emplace_back(text); });
        std::string error;
        peers = KzoHost::SamplePeers::Open(core, KZO_DEFAULT_DATA_DIR, error);
        ASSERT_NE(peers, nullptr) << error;
        library = KzoHost::PluginLibrary::Open(KZO_PLUGIN_PATH, error);
        ASSERT_NE(library, nullptr) << error;
        ASSERT_TRUE(library->Load(KzoHost::CoreVersion{}, error)) << error;
        ASSERT_TRUE(library->Start(*core.Context()));
    }
    void TearDown() override {
        if (library != nullptr) library->Stop();
    }

    /// A GET of `path` through the plug-in's endpoint callback, as the core sends it.
    [[nodiscard]] KzoHost::EndpointReply Send(const std::string& path) const {
        KzoHost::EndpointCall call;
        call.path = path;
        return KzoHost::SendToEndpoint(library->Record().apiDescription, call);
    }

    KzoHost::HostCore core;
    std::vector<std::string> logLines;  ///< the lines the plug-in logged to the core
    std::unique_ptr<KzoHost::SamplePeers> peers;
    std::unique_ptr<KzoHost::PluginLibrary> library;
};

}  // namespace Nimbel::testing
