// One request as the core makes it: an endpoint with one path parameter that
// answers a small record, measured from the call of the endpoint record's
// callback to the release of the response. The route is matched with the
// template compiled once, at registration; the comparison builds and compiles
// the route's regular expression on every request, as per-request routes with
// std::regex would, before the same request.
#include <benchmark/benchmark.h>

#include <map>
#include <regex>
#include <string>
#include <vector>

#include "api/api_registry.h"
#include "api/owned_response.h"
#include "api/route.h"
#include "api/route_template.h"
#include "api/url_decode.h"
#include "binding/binding_type_builder.h"

namespace Nimbel {
namespace {

constexpr const char* kTemplate = "/kzo-match-history/v1/games/{gameId}";
constexpr const char* kPath = "/kzo-match-history/v1/games/3037071829";

struct GameSummary {
    uint64_t gameId = 0;
    std::string gameMode;
    int32_t gameDuration = 0;
};

struct GameService {
    EndpointResult<GameSummary> GetGame(uint64_t gameId) {
        return GameSummary{gameId, "CLASSIC", 1834};
    }
};

// The registry, its one endpoint record and a request for it.
class OneEndpoint {
public:
    OneEndpoint() {
        BindingTypeBuilder<GameSummary>(api_.Types(), "KzoMatchHistoryGameSummary")
            .Field("gameId", &GameSummary::gameId)
            .Field("gameMode", &GameSummary::gameMode)
            .Field("gameDuration", &GameSummary::gameDuration)
            .Finish();
        const std::vector<std::string> tags = {"Plugins", "Plugin kzo-match-history"};
        static_cast<void>(api_.AddTypedEndpoint(RequestMethod::Get, kTemplate, service_,
                                                &GameService::GetGame,
                                                {Arg("gameId", ArgLocation::Path)}, tags));
        const ApiDescriptionRoot root = *api_.BuildDescription();
        record_ = root.endpoints[0];
        CoreRequest request{};
        request.method = 2;
        request.path = kPath;
        request.endpointContext = reinterpret_cast<void*>(record_.function.reserved1);
        request.contentType = "";
        request_ = request;
    }

    void Request(benchmark::State& state) const {
        OwnedResponse response;
        record_.onRequest(&response.Record(), &request_);
        if (response->errorText != nullptr) state.SkipWithError(response->errorText);
        benchmark::DoNotOptimize(response->value.a);
    }

    [[nodiscard]] const ApiRegistry& Api() const noexcept { return api_; }

private:
    GameService service_;
    ApiRegistry api_;
    EndpointRecord record_{};
    alignas(KzoWord) CoreRequest request_{};
};

// What a route built for each request does before dispatch can go on:
// compile the template's pattern, match the whole path, decode the captures.
[[nodiscard]] std::map<std::string, std::string> RegexRouteParameters(const char* path) {
    const TemplatePattern compiled = TemplateToPattern(kTemplate);
    const std::regex pattern(compiled.pattern, std::regex::ECMAScript | std::regex::optimize);
    std::map<std::string, std::string> parameters;
    std::cmatch match;
    if (std::regex_match(path, match, pattern)) {
        for (size_t i = 0; i < compiled.parameters.size(); ++i) {
            parameters.insert_or_assign(compiled.parameters[i].name, UrlDecode(match[i + 1].str()));
        }
    }
    return parameters;
}

void BM_Request_MatcherBuiltOnce(benchmark::State& state) {
    const OneEndpoint endpoint;
    for (auto _ : state) endpoint.Request(state);
}
BENCHMARK(BM_Request_MatcherBuiltOnce);

void BM_Request_RegexRouteBuiltPerRequest(benchmark::State& state) {
    const OneEndpoint endpoint;
    for (auto _ : state) {
        benchmark::DoNotOptimize(RegexRouteParameters(kPath));
        endpoint.Request(state);
    }
}
BENCHMARK(BM_Request_RegexRouteBuiltPerRequest);

// The routing step alone, both ways.
void BM_Route_MatcherBuiltOnce(benchmark::State& state) {
    const OneEndpoint endpoint;
    const std::vector<Route> routes = endpoint.Api().Routes();
    for (auto _ : state) {
        RequestContext context;
        context.method = RequestMethod::Get;
        context.path = kPath;
        benchmark::DoNotOptimize(SelectRoute(context, routes));
        benchmark::DoNotOptimize(context.parameters);
    }
}
BENCHMARK(BM_Route_MatcherBuiltOnce);

void BM_Route_RegexBuiltPerRequest(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(RegexRouteParameters(kPath));
}
BENCHMARK(BM_Route_RegexBuiltPerRequest);

}  // namespace
}  // namespace Nimbel
