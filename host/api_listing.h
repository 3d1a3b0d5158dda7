// Reading a plug-in's API description as the core does: endpoints with their
// method, path template and argument locations, types with their fields or
// enumerators, and events, walked through the records' chains.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "abi/core_abi.h"

namespace KzoHost {

struct ListedArgument {
    std::string name;
    KzoWord location = 0;  ///< 0 anywhere, 1 query, 2 path, 4 header, 5 body
    std::string type;      ///< the kind's text or the registered type name, as for fields
};

struct ListedEndpoint {
    std::string functionName{};
    KzoWord method = 0;
    std::string methodName{};
    std::string pathTemplate{};
    std::vector<ListedArgument> arguments{};
    /// The handler's result: "uint64", "SomeRecord", "vector<SomeRecord>", ...
    std::string resultType{};
    std::vector<std::string> tags{};
    EndpointRequestFn onRequest = nullptr;
    /// The context the core passes back in the request's word 4.
    void* context = nullptr;
};

struct ListedMember {
    std::string name{};
    std::string description{};
    std::string type{};  ///< fields: the kind's text or the registered type name
    int64_t value = 0;   ///< enumerators: the value; fields: the byte offset
};

struct ListedType {
    std::string name{};
    std::string description{};
    KzoWord size = 0;
    std::vector<std::string> tags{};
    std::vector<ListedMember> fields{};
    std::vector<ListedMember> enumerators{};
};

struct ListedEvent {
    std::string name;
    std::string typeName;
    std::string description;
    std::vector<std::string> tags;
};

struct ApiListing {
    std::vector<ListedEndpoint> endpoints;
    std::vector<ListedType> types;
    std::vector<ListedEvent> events;
};

/// Walks each array of `root` through its chain, stopping at a null link or
/// after as many records as the root counts (whichever comes first). A null
/// root lists nothing. Records are read by value, never through references
/// into the packed records.
[[nodiscard]] ApiListing ReadApiDescription(const ApiDescriptionRoot* root);

/// The listing as text, one line per endpoint, type and event, with indented
/// lines for arguments, fields and enumerators.
[[nodiscard]] std::string FormatApiListing(const ApiListing& listing);

/// "any", "DELETE" ... "PUT", "other" for method codes 0 to 8; "?" otherwise.
[[nodiscard]] const char* MethodText(KzoWord method) noexcept;
/// "anywhere", "query", "path", "header", "body"; "?" for other numbers.
[[nodiscard]] const char* LocationText(KzoWord location) noexcept;

}  // namespace KzoHost
