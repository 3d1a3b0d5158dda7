// Route selection over endpoints: the length tie-break, literal routes ending
// the search, method checks, paths with queries and trailing slashes, and
// endpoint path normalisation.
#include "api/route.h"

#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "binding/binding_function_description.h"
#include "binding/binding_type_registry.h"

namespace Nimbel {
namespace {

struct RouteCase {
    const char* path;
    RequestMethod method = RequestMethod::Get;
    const char* methodName = "";
};

// Endpoints over detached functions; selection never runs their handlers.
class Routes {
public:
    explicit Routes(std::initializer_list<RouteCase> definitions) {
        for (const RouteCase& definition : definitions) {
            functions_.push_back(BindingTypeRegistry::CreateDetachedFunction(definition.path, 0));
            endpoints_.push_back(std::make_unique<Endpoint>(registry_, *functions_.back(),
                                                            definition.path, definition.method,
                                                            definition.methodName, nullptr));
            routes_.push_back(RouteOf(*endpoints_.back()));
        }
    }
    [[nodiscard]] const std::vector<Route>& List() const { return routes_; }
    /// The index of the selected route, or -1.
    [[nodiscard]] int Select(RequestContext& context) const {
        if (!SelectRoute(context, routes_)) return -1;
        for (size_t i = 0; i < endpoints_.size(); ++i) {
            if (context.endpoint == endpoints_[i].get()) return static_cast<int>(i);
        }
        return -2;
    }

private:
    BindingTypeRegistry registry_;
    std::vector<std::unique_ptr<BindingFunctionDescription>> functions_;
    std::vector<std::unique_ptr<Endpoint>> endpoints_;
    std::vector<Route> routes_;
};

TEST(RouteTest, SelectsTheMatchWithTheShortestParameters) {
    struct Case {
        const char* description;
        std::initializer_list<RouteCase> routes;
        const char* path;
        int selected;
        std::map<std::string, std::string> parameters;
    };
    const Case cases[] = {
        {"shorter parameters win", {{"/a/{+x}"}, {"/a/{y}/b"}}, "/a/1/b", 1, {{"y", "1"}}},
        {"in either order", {{"/a/{y}/b"}, {"/a/{+x}"}}, "/a/1/b", 0, {{"y", "1"}}},
        {"equal totals keep the earlier route",
         {{"/a/{x}/b"}, {"/a/{y}/b"}},
         "/a/1/b",
         0,
         {{"x", "1"}}},
        {"lengths are of decoded texts", {{"/a/{x}"}, {"/{+y}"}}, "/a/%41%42", 0, {{"x", "AB"}}},
        {"a literal route ends the search", {{"/a/b"}, {"/a/{x}"}}, "/a/b", 0, {}},
        {"a parameter route before a literal one loses to it",
         {{"/a/{x}"}, {"/a/b"}},
         "/a/b",
         1,
         {}},
        {"an empty capture is a match of length 0", {{"/a/{x}"}, {"/a/"}}, "/a/", 0, {{"x", ""}}},
        {"the request's trailing slash is kept", {{"/a/b/"}}, "/a/b/", -1, {}},
        {"the endpoint's trailing slash was removed", {{"/a/b/"}}, "/a/b", 0, {}},
        {"a query is not matched", {{"/a/b"}}, "/a/b?x=1", 0, {}},
        {"a query never enters a parameter", {{"/a/{x}"}}, "/a/1?b=2", 0, {{"x", "1"}}},
        {"an encoded slash stays in one parameter", {{"/g/{id}"}}, "/g/a%2Fb", 0, {{"id", "a/b"}}},
        {"a plain slash does not fit a simple parameter", {{"/g/{id}"}}, "/g/a/b", -1, {}},
        {"a reserved parameter takes slashes", {{"/f/{+p}"}}, "/f/a/b/c", 0, {{"p", "a/b/c"}}},
        {"a repeated name keeps the later capture", {{"/{x}/{x}"}}, "/1/2", 0, {{"x", "2"}}},
    };
    for (const Case& c : cases) {
        const Routes routes(c.routes);
        RequestContext context;
        context.method = RequestMethod::Get;
        context.path = c.path;
        EXPECT_EQ(routes.Select(context), c.selected) << c.description;
        if (c.selected >= 0) {
            EXPECT_EQ(context.parameters, c.parameters) << c.description;
        }
        if (c.selected < 0) {
            EXPECT_EQ(context.endpoint, nullptr) << c.description;
        }
    }
}

TEST(RouteTest, ChecksTheMethod) {
    struct Case {
        const char* description;
        RouteCase route;
        RequestMethod method;
        const char* methodName;
        bool selected;
    };
    const Case cases[] = {
        {"equal methods", {"/a", RequestMethod::Get}, RequestMethod::Get, "", true},
        {"other methods", {"/a", RequestMethod::Get}, RequestMethod::Post, "", false},
        {"an endpoint of any method", {"/a", RequestMethod::Any}, RequestMethod::Delete, "", true},
        {"any method takes a named one",
         {"/a", RequestMethod::Any},
         RequestMethod::Other,
         "X",
         true},
        {"a named method",
         {"/a", RequestMethod::Other, "PURGE"},
         RequestMethod::Other,
         "PURGE",
         true},
        {"another named method",
         {"/a", RequestMethod::Other, "PURGE"},
         RequestMethod::Other,
         "LINK",
         false},
        {"names are compared exactly",
         {"/a", RequestMethod::Other, "PURGE"},
         RequestMethod::Other,
         "purge",
         false},
        {"a name on a standard method is ignored",
         {"/a", RequestMethod::Get, "IGNORED"},
         RequestMethod::Get,
         "",
         true},
    };
    for (const Case& c : cases) {
        const Routes routes({c.route});
        RequestContext context;
        context.method = c.method;
        context.methodName = c.methodName;
        context.path = "/a";
        EXPECT_EQ(routes.Select(context) == 0, c.selected) << c.description;
    }
}

TEST(RouteTest, MethodCodesAndWords) {
    struct Case {
        KzoWord code;
        RequestMethod method;
        const char* word;
    };
    const Case cases[] = {
        {0, RequestMethod::Any, ""},
        {1, RequestMethod::Delete, "DELETE"},
        {2, RequestMethod::Get, "GET"},
        {3, RequestMethod::Head, "HEAD"},
        {4, RequestMethod::Options, "OPTIONS"},
        {5, RequestMethod::Patch, "PATCH"},
        {6, RequestMethod::Post, "POST"},
        {7, RequestMethod::Put, "PUT"},
        {8, RequestMethod::Other, ""},
        {9, RequestMethod::Any, ""},
        {0xFFFFFFFFu, RequestMethod::Any, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RequestMethodFromCode(c.code), c.method) << c.code;
        EXPECT_STREQ(MethodWord(RequestMethodFromCode(c.code)), c.word) << c.code;
    }
}

TEST(RouteTest, NormalisesEndpointPaths) {
    const std::pair<const char*, const char*> cases[] = {
        {"/a/b/", "/a/b"}, {"/a/b", "/a/b"}, {"/", "/"}, {"", ""}, {"/a//", "/a/"},
    };
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(NormaliseEndpointPath(path), expected) << path;
}

}  // namespace
}  // namespace Nimbel
