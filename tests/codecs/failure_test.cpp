// Failure: the field derived from the code, messages that are absent, literal
// or owned, failures from templates, and the three text forms.
#include "codecs/failure.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <string>

#include "diagnostics/text_format.h"

namespace Nimbel {
namespace {

struct TextCase {
    const char* description;
    std::function<Failure()> make;
    std::string expected;
};

TEST(FailureTest, TextForms) {
    const TextCase cases[] = {
        {"fresh failure", [] { return Failure(); }, ""},
        {"absent message with a code and fields",
         [] {
             Failure failure = Failure::WithLiteral(503, nullptr);
             failure.SetField("url", "/x");
             return failure;
         },
         ""},
        {"empty message is a message", [] { return Failure::WithMessage(0, ""); }, ""},
        {"literal, code 0, no fields", [] { return Failure::WithLiteral(0, "Stream read error"); },
         "Stream read error"},
        {"owned, code 0, no fields", [] { return Failure::WithMessage(0, "Not logged in"); },
         "Not logged in"},
        {"code without fields",
         [] {
             Failure failure = Failure::WithMessage(503, "Service unavailable");
             failure.ClearFields();
             return failure;
         },
         "Service unavailable (503)"},
        {"negative code without fields",
         [] {
             Failure failure = Failure::WithLiteral(-2, "Broken");
             failure.ClearFields();
             return failure;
         },
         "Broken (-2)"},
        {"a code alone makes the JSON form", [] { return Failure::WithMessage(404, "Not here"); },
         R"({"message":"Not here","errorCode_int":404})"},
        {"template fields, then the code's",
         [] {
             return Failure::FromTemplate(404, "Error response for {method} {url}: {error}", "GET",
                                          "/kzo-acs/v1/games/1", "gone");
         },
         R"({"message":"Error response for GET /kzo-acs/v1/games/1: gone","method":"GET",)"
         R"("url":"/kzo-acs/v1/games/1","error":"gone","errorCode_int":404})"},
        {"template with code 0 has no code field",
         [] {
             return Failure::FromTemplate(
                 0, "Error converting response for {method} {url}: {error}", "GET", "/x", "bad");
         },
         R"({"message":"Error converting response for GET /x: bad","method":"GET","url":"/x",)"
         R"("error":"bad"})"},
        {"every field kind",
         [] {
             Failure failure = Failure::WithLiteral(0, "m");
             failure.SetField("flag", true);
             failure.SetField("delta", int64_t{-5});
             failure.SetField("size", std::numeric_limits<uint64_t>::max());
             failure.SetField("ratio", 0.1);
             failure.SetField("note", "q\"\n\x01");
             return failure;
         },
         R"({"message":"m","flag":true,"delta":-5,"size":18446744073709551615,"ratio":0.1,)"
         R"("note":"q\"\n\u0001"})"},
        {"non-finite doubles as null",
         [] {
             Failure failure = Failure::WithLiteral(0, "m");
             failure.SetField("nan", std::numeric_limits<double>::quiet_NaN());
             failure.SetField("inf", std::numeric_limits<double>::infinity());
             failure.SetField("after", 1u);
             return failure;
         },
         R"({"message":"m","nan":null,"inf":null,"after":1})"},
        {"invalid UTF-8 from a peer as U+FFFD in the JSON form",
         [] {
             Failure failure = Failure::WithMessage(502, "bad \xC3(");
             failure.SetField("body", "\xFF\xE2\x82");
             return failure;
         },
         "{\"message\":\"bad \xEF\xBF\xBD(\",\"errorCode_int\":502,"
         "\"body\":\"\xEF\xBF\xBD\xEF\xBF\xBD\"}"},
        {"message with quotes and line feed escaped",
         [] { return Failure::WithMessage(500, "said \"no\"\nthen left"); },
         R"({"message":"said \"no\"\nthen left","errorCode_int":500})"},
    };
    for (const TextCase& c : cases) {
        const Failure failure = c.make();
        EXPECT_EQ(FailureToText(failure), c.expected) << c.description;
        EXPECT_EQ(ToFormatText(failure), c.expected) << c.description;
    }
}

TEST(FailureTest, CodeFieldFollowsEveryNonZeroCode) {
    Failure failure = Failure::WithMessage(0, "m");
    EXPECT_TRUE(failure.Fields().empty());
    failure.SetField("url", "/x");
    failure.SetCode(503);
    failure.SetField("error", "busy");
    failure.SetCode(504);
    EXPECT_EQ(failure.Code(), 504);
    EXPECT_EQ(FailureToText(failure),
              R"({"message":"m","url":"/x","errorCode_int":504,"error":"busy"})")
        << "a second code replaces the field's value in its first place";
    failure.SetCode(0);
    EXPECT_EQ(failure.Code(), 0);
    ASSERT_NE(failure.Fields().Find("errorCode_int"), nullptr) << "setting 0 leaves fields alone";
    EXPECT_EQ(failure.Fields().Find("errorCode_int")->signedValue(), 504);
    EXPECT_EQ(failure.Fields().Find("errorCode_int")->kind(), NamedValue::Kind::Signed);
}

TEST(FailureTest, MessageKinds) {
    static const char kLiteral[] = "Stream read error";
    Failure failure = Failure::WithLiteral(0, kLiteral);
    EXPECT_TRUE(failure.HasMessage());
    EXPECT_EQ(failure.Message().data(), kLiteral) << "a literal is not copied";

    Failure copy = failure;
    copy.SetMessage("changed");
    EXPECT_EQ(failure.Message(), "Stream read error");
    EXPECT_EQ(copy.Message(), "changed");

    copy.SetLiteralMessage(nullptr);
    EXPECT_FALSE(copy.HasMessage());
    EXPECT_EQ(copy.Message(), "");
    EXPECT_EQ(FailureToText(copy), "");
}

TEST(FailureTest, MessagesFormatAFailureAsItsText) {
    const Failure failure = Failure::FromTemplate(503, "Error response for {method} {url}: {error}",
                                                  "GET", "/kzo-acs/v1/delta", "busy");
    EXPECT_EQ(FormatMessage("Failed due to %1", failure),
              R"(Failed due to {"message":"Error response for GET /kzo-acs/v1/delta: busy",)"
              R"("method":"GET","url":"/kzo-acs/v1/delta","error":"busy","errorCode_int":503})");

    const Failure wrapped =
        Failure::FromTemplate(0, "Call failed: {cause}", Failure::WithLiteral(0, "Timeout"));
    EXPECT_EQ(FailureToText(wrapped), R"({"message":"Call failed: Timeout","cause":"Timeout"})");
}

}  // namespace
}  // namespace Nimbel
