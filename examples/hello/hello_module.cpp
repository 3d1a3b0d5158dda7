#include "hello_module.h"

#include "api/request_method.h"
#include "binding/binding_type_builder.h"
#include "diagnostics/logger.h"
#include "diagnostics/text_format.h"
#include "plugin/outbound_request.h"

namespace Hello {
namespace {

using Nimbel::RequestMethod;

constexpr const char* kMoodPath = "/hello-settings/v1/mood";
constexpr const char* kPeerGreetingPath = "/greeting-peer/v1/greeting";

}  // namespace

void HelloModule::RegisterEndpoints() {
    // Records first: an endpoint's arguments and result must be known types.
    // Nested types come before the records that hold them.
    Nimbel::BindingTypeBuilder<Mood>(Types(), TypeNamePrefix() + "Mood")
        .Enumerator("Calm", Mood::Calm)
        .Enumerator("Cheerful", Mood::Cheerful)
        .Finish(ApiTags());
    Nimbel::BindingTypeBuilder<Greeting>(Types(), TypeNamePrefix() + "Greeting")
        .Field("text", &Greeting::text)
        .Field("mood", &Greeting::mood)
        .Finish(ApiTags());

    RegisterEndpoint(RequestMethod::Get, "/hello/v1/greetings/{name}", &HelloModule::GetGreeting,
                     {Nimbel::Arg("name", Nimbel::ArgLocation::Path)});
    RegisterEndpoint(RequestMethod::Get, "/hello/v1/peer-greeting", &HelloModule::GetPeerGreeting);
}

bool HelloModule::OnStart() {
    // Read once now, then told of every change.
    ObserveResourceAs<Mood>(kMoodPath, [this](const auto& mood) { OnMoodChanged(mood); });
    return true;
}

Greeting HelloModule::GetGreeting(std::string name) {
    const std::lock_guard lock(moodLock_);
    return Greeting{"Hello, " + name + "!", mood_};
}

Nimbel::EndpointResult<Greeting> HelloModule::GetPeerGreeting() {
    auto answer = Nimbel::OutboundRequest<Greeting>(*this, RequestMethod::Get, kPeerGreetingPath);
    if (answer.HasFailure())
        return Nimbel::InternalError(
            Nimbel::FormatMessage("The peer failed: %1", answer.GetFailure()));
    return std::move(answer).GetValue();
}

void HelloModule::OnMoodChanged(const Nimbel::TypedResource<Mood>& mood) {
    const Mood next =
        mood.eventType == Nimbel::PluginResourceEventType::Delete ? Mood::Calm : mood.data;
    Nimbel::Log(Nimbel::kLogOkay, Nimbel::LogGroups::DBG, "hello: the mood is now %s",
                next == Mood::Cheerful ? "Cheerful" : "Calm");
    const std::lock_guard lock(moodLock_);
    mood_ = next;
}

}  // namespace Hello
