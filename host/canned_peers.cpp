#include "host/canned_peers.h"

#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <system_error>

#include "api/request_method.h"
#include "binding/binding_status.h"
#include "codecs/json_reader.h"
#include "codecs/json_writer.h"

namespace KzoHost {
namespace {

namespace fs = std::filesystem;
using Nimbel::BindingProperty;
using Nimbel::BindingPropertyKind;

/// Whether `segment` may name a folder or file under the canned folder.
[[nodiscard]] bool IsPlainSegment(std::string_view segment) {
    return !segment.empty() && segment != "." && segment != ".." &&
           segment.find_first_of(std::string_view("\0\\", 2)) == std::string_view::npos;
}

[[nodiscard]] PeerAnswer Malformed(const std::string& fileName, std::string_view why) {
    return PeerAnswer::WithError(500, fileName + ": " + std::string(why));
}

/// The error text of a canned error answer: the body's "message" text, else
/// the body as JSON.
[[nodiscard]] std::string ErrorTextOf(const BindingProperty& body) {
    if (body.Kind() == BindingPropertyKind::Structure) {
        const BindingProperty* message = body.FindMember("message");
        if (message != nullptr && message->Kind() == BindingPropertyKind::String)
            return std::string(message->GetString());
    }
    return Nimbel::ValueToJson(body, nullptr, nullptr);
}

/// Reads `relative` under `folder` (canonical) into `text`; false when it is
/// not a regular file whose resolved path lies inside the folder.
[[nodiscard]] bool ReadInside(const fs::path& folder, const fs::path& relative, std::string& text) {
    std::error_code error;
    const fs::path resolved = fs::canonical(folder / relative, error);
    if (error) return false;
    const fs::path inside = resolved.lexically_relative(folder);
    if (inside.empty() || *inside.begin() == "..") return false;
    struct stat status {};
    if (::stat(resolved.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return false;
    std::ifstream in(resolved, std::ios::binary);
    if (!in) return false;
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

}  // namespace

std::optional<fs::path> CannedAnswerFile(KzoWord method, std::string_view path,
                                         std::string& error) {
    const char* word = Nimbel::MethodWord(Nimbel::RequestMethodFromCode(method));
    if (*word == '\0') {
        error = "The canned peers answer only DELETE, GET, HEAD, OPTIONS, PATCH, POST and PUT";
        return std::nullopt;
    }
    if (!path.starts_with('/')) {
        error = "The canned peers refuse the path '" + std::string(path) + "': it is not absolute";
        return std::nullopt;
    }
    fs::path file = word;
    std::string_view rest = path.substr(1);
    while (true) {
        const size_t slash = rest.find('/');
        const std::string_view segment = rest.substr(0, slash);
        if (!IsPlainSegment(segment)) {
            error = "The canned peers refuse the path '" + std::string(path) +
                    "': a segment is empty, '.', '..' or holds a NUL or a backslash";
            return std::nullopt;
        }
        if (slash == std::string_view::npos) {
            file /= std::string(segment) + ".json";
            return file;
        }
        file /= std::string(segment);
        rest.remove_prefix(slash + 1);
    }
}

PeerAnswer ReadCannedAnswer(std::string_view text, const std::string& fileName) {
    if (text.find_first_not_of(" \t\r\n") == std::string_view::npos)
        return Malformed(fileName, "the file is empty");
    Nimbel::BindingStatus parsed = Nimbel::JsonToValue(text.data(), text.size());
    if (!parsed.Ok()) return Malformed(fileName, parsed.ErrorMessage());
    const BindingProperty& answer = parsed.Value();
    if (answer.Kind() != BindingPropertyKind::Structure)
        return Malformed(fileName, "a canned answer is an object {\"status\": N, \"body\": ...}");
    uint32_t status = 200;
    BindingProperty body;
    for (const Nimbel::BindingMember& member : answer.Members()) {
        const BindingProperty& value = member.Value();
        if (member.Name() == "body") {
            body = value;
        } else if (member.Name() == "status") {
            const int64_t number =
                value.Kind() == BindingPropertyKind::Signed ? value.GetSigned()
                : value.Kind() == BindingPropertyKind::Unsigned
                    ? static_cast<int64_t>(std::min<uint64_t>(value.GetUnsigned(), 1000))
                    : 0;
            if (number < 100 || number > 599)
                return Malformed(fileName, "\"status\" is an integer from 100 to 599");
            status = static_cast<uint32_t>(number);
        } else {
            return Malformed(fileName, "unknown member \"" + std::string(member.Name()) +
                                           "\"; a canned answer has only \"status\" and \"body\"");
        }
    }
    if (status >= 400) return PeerAnswer::WithError(status, ErrorTextOf(body));
    // No content and not modified are answers without a body, whatever the file holds.
    if (status == 204 || status == 304) body = BindingProperty();
    PeerAnswer reply = PeerAnswer::WithValue(std::move(body));
    reply.status = status;
    return reply;
}

bool CannedPeers::Register(HostCore& core, const fs::path& folder, std::string& error) {
    std::error_code statusError;
    const fs::file_status status = fs::status(folder, statusError);
    if (!fs::is_directory(status)) {
        error = "The peers folder " + folder.string() +
                (fs::exists(status) ? " is not a folder" : " does not exist");
        return false;
    }
    const fs::path canonical = fs::canonical(folder, statusError);
    if (statusError) {
        error = "The peers folder " + folder.string() + " cannot be used: " + statusError.message();
        return false;
    }
    core.AddPeer("/*", [peers = CannedPeers(canonical)](const PeerRequest& request) {
        return peers.Answer(request);
    });
    return true;
}

PeerAnswer CannedPeers::Answer(const PeerRequest& request) const {
    std::string error;
    const std::optional<fs::path> file = CannedAnswerFile(request.method, request.path, error);
    if (!file.has_value()) return PeerAnswer::WithError(400, error);
    std::string text;
    if (!ReadInside(folder_, *file, text)) return PeerAnswer::NoPeerServes(request.path);
    return ReadCannedAnswer(text, file->string());
}

}  // namespace KzoHost
