// The hello plug-in's module: two endpoints under /hello/v1/ and the mood it
// takes from a resource of another plug-in.
#pragma once

#include <mutex>
#include <string>

#include "api/endpoint_result.h"
#include "hello_records.h"
#include "plugin/app_module.h"

namespace Hello {

class HelloModule final : public Nimbel::AppModule {
public:
    /// Registers the records, then the endpoints.
    void RegisterEndpoints() override;
    /// Observes the mood resource.
    [[nodiscard]] bool OnStart() override;

private:
    /// GET /hello/v1/greetings/{name}: a greeting for `name`, in the current mood.
    [[nodiscard]] Greeting GetGreeting(std::string name);
    /// GET /hello/v1/peer-greeting: the greeting of the peer plug-in, asked through
    /// the core; the peer's failure becomes this endpoint's.
    [[nodiscard]] Nimbel::EndpointResult<Greeting> GetPeerGreeting();

    void OnMoodChanged(const Nimbel::TypedResource<Mood>& mood);

    // Resource events and requests may come on different threads of the core.
    std::mutex moodLock_;
    Mood mood_ = Mood::Calm;
};

}  // namespace Hello
