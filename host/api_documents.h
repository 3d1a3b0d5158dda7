// A plug-in's API listing as JSON documents: the host's own description of
// endpoints, types and events, and an OpenAPI 3.0.3 document for HTTP tools.
//
// Both are generic values; members are written in name order, which neither
// format minds. Neither fails on odd listings: unknown type texts and names
// of unlisted types become schemas that accept any value.
#pragma once

#include <string_view>

#include "binding/binding_property.h"
#include "host/api_listing.h"

namespace KzoHost {

/// {"endpoints":[{"method","path","function","result","arguments":[{"name",
/// "location","type"}]}], "types":[{"name","description","tags","fields":
/// [{"name","type","description"}]} or with "enumerators":[{"name","value"}]],
/// "events":[{"name","type","description","tags"}]}. Methods and locations
/// are spelled as in FormatApiListing; method 8 by the endpoint's own name.
[[nodiscard]] Nimbel::BindingProperty DescribeApi(const ApiListing& listing);

/// An OpenAPI 3.0.3 document of the listing. Guarantees:
/// - one path item per distinct path template; endpoints sharing a template
///   share the item, one operation per method (of a repeated method on one
///   template, the first endpoint);
/// - methods 1 to 7, and method 8 named as an OpenAPI operation, are
///   operations; an endpoint for any method (0) or a method OpenAPI has no
///   operation for is kept under an "x-" extension of its path item;
/// - operation IDs are the function names, made unique with a "_2", "_3" ...
///   suffix if a listing repeats one;
/// - every parameter of the template is declared as a required path
///   parameter (typed by the argument of that name, if any, else a string);
///   arguments for the query, and those allowed anywhere that the template
///   does not name, are optional query parameters; header arguments header
///   parameters; the first body argument, the only one a request body fills,
///   is the request body; a path argument the template does not name cannot
///   be sent and is left out;
/// - one component schema per listed type (records as objects, enumerations
///   as strings of their enumerator names) plus the error answer
///   {status, message}; every "$ref" names one of them.
[[nodiscard]] Nimbel::BindingProperty OpenApiDocument(const ApiListing& listing,
                                                      std::string_view title,
                                                      std::string_view version);

}  // namespace KzoHost
