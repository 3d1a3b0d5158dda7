#include "api/route_template.h"

#include <cstring>

namespace Nimbel {
namespace {

constexpr std::string_view kRegexSpecials = "^$.*+?()[]|\\";

// One pass over a template, shared by the pattern text and the matcher so
// the two cannot disagree on what a template means.
class TemplateReader {
public:
    virtual ~TemplateReader() = default;
    void Read(std::string_view pathTemplate) {
        unsigned state = 0;  // 0 outside an expression, else the ParamKind being read
        std::string name;
        for (const char c : pathTemplate) {
            if (c == '{') {
                state = 1;  // an expression restarts; the name read so far is kept
            } else if (c == '}') {
                if (state != 0) {
                    OnParameter(RouteParameter{static_cast<ParamKind>(state), std::move(name)});
                    name.clear();
                    state = 0;
                }
                // A "}" outside an expression is ignored: it adds no parameter
                // that would shift later names against the captures.
            } else if (state != 0) {
                if (state == 1 && name.empty() && c == '+') {
                    state = 2;
                } else if (state == 1 && name.empty() && c == '#') {
                    state = 3;
                } else {
                    name += c;
                }
            } else {
                OnLiteral(c);
            }
        }
    }

protected:
    virtual void OnLiteral(char c) = 0;
    virtual void OnParameter(RouteParameter parameter) = 0;
};

class PatternWriter final : public TemplateReader {
public:
    TemplatePattern result;

private:
    void OnLiteral(char c) override {
        if (kRegexSpecials.find(c) != std::string_view::npos) result.pattern += '\\';
        result.pattern += c;
    }
    void OnParameter(RouteParameter parameter) override {
        switch (parameter.kind) {
            case ParamKind::Simple:
                result.pattern += "([^/]*)";
                break;
            case ParamKind::Reserved:
                result.pattern += "(.*)";
                break;
            case ParamKind::Fragment:
                result.pattern += "#(.*)";
                break;
        }
        result.parameters.push_back(std::move(parameter));
    }
};

}  // namespace

TemplatePattern TemplateToPattern(std::string_view pathTemplate) {
    PatternWriter writer;
    writer.Read(pathTemplate);
    return std::move(writer.result);
}

// ---- RouteMatcher ----

namespace {

class PieceCompiler final : public TemplateReader {
public:
    struct Output {
        std::vector<std::pair<int, std::string>> pieces;  // kind (0 literal, 1 segment, 2 rest)
        std::vector<RouteParameter> parameters;
    } out;

private:
    void OnLiteral(char c) override { AppendLiteral(std::string_view(&c, 1)); }
    void OnParameter(RouteParameter parameter) override {
        if (parameter.kind == ParamKind::Fragment) AppendLiteral("#");
        out.pieces.emplace_back(parameter.kind == ParamKind::Simple ? 1 : 2, std::string());
        out.parameters.push_back(std::move(parameter));
    }
    void AppendLiteral(std::string_view text) {
        if (out.pieces.empty() || out.pieces.back().first != 0) out.pieces.emplace_back(0, "");
        out.pieces.back().second += text;
    }
};

// ECMAScript's "." stops at line terminators; "[^/]" stops only at "/".
bool EndsRest(char c) {
    return c == '\n' || c == '\r';
}

}  // namespace

RouteMatcher::RouteMatcher(std::string_view pathTemplate)
    : template_(pathTemplate), literal_(pathTemplate.find('{') == std::string_view::npos) {
    if (literal_) return;
    PieceCompiler compiler;
    compiler.Read(pathTemplate);
    for (auto& [kind, literal] : compiler.out.pieces) {
        Piece piece{static_cast<Piece::Kind>(kind), std::move(literal), 0};
        if (piece.kind != Piece::Kind::Literal) piece.capture = captureCount_++;
        pieces_.push_back(std::move(piece));
    }
    parameters_ = std::move(compiler.out.parameters);
}

// Backtracking in the order of a greedy regex: each capture tries its longest
// extent first, and the first way the whole path matches wins. Recursion goes
// one level per template piece, never per path character. With two or more
// captures, a (piece, position) that failed once is remembered, so no state
// is searched twice.
class RouteMatcher::Search {
public:
    Search(const RouteMatcher& matcher, std::string_view path,
           std::vector<std::string_view>& captures)
        : pieces_(matcher.pieces_),
          path_(path),
          captures_(captures),
          memoize_(matcher.captureCount_ >= 2) {}

    bool MatchFrom(size_t index, size_t position) {
        if (index == pieces_.size()) return position == path_.size();
        const Piece& piece = pieces_[index];
        if (piece.kind == Piece::Kind::Literal) {
            return path_.compare(position, piece.literal.size(), piece.literal) == 0 &&
                   MatchFrom(index + 1, position + piece.literal.size());
        }
        if (KnownToFail(index, position)) return false;
        if (MatchCapture(index, position)) return true;
        RecordFailure(index, position);
        return false;
    }

private:
    bool MatchCapture(size_t index, size_t position) {
        const Piece& piece = pieces_[index];
        const size_t limit = CaptureLimit(piece.kind, position);
        const Piece* next = index + 1 < pieces_.size() ? &pieces_[index + 1] : nullptr;
        if (next == nullptr) {
            if (limit != path_.size()) return false;
            captures_[piece.capture] = path_.substr(position);
            return true;
        }
        for (size_t end = limit + 1; end-- > position;) {
            if (next->kind == Piece::Kind::Literal &&
                path_.compare(end, next->literal.size(), next->literal) != 0) {
                continue;
            }
            if (MatchFrom(index + 1, end)) {
                captures_[piece.capture] = path_.substr(position, end - position);
                return true;
            }
        }
        return false;
    }

    size_t CaptureLimit(Piece::Kind kind, size_t position) const {
        size_t end = position;
        if (kind == Piece::Kind::Segment) {
            while (end < path_.size() && path_[end] != '/') ++end;
        } else {
            while (end < path_.size() && !EndsRest(path_[end])) ++end;
        }
        return end;
    }

    size_t Slot(size_t index, size_t position) const {
        return index * (path_.size() + 1) + position;
    }
    bool KnownToFail(size_t index, size_t position) const {
        return !failed_.empty() && failed_[Slot(index, position)];
    }
    void RecordFailure(size_t index, size_t position) {
        if (!memoize_) return;
        if (failed_.empty()) failed_.resize(pieces_.size() * (path_.size() + 1));
        failed_[Slot(index, position)] = true;
    }

    const std::vector<Piece>& pieces_;
    std::string_view path_;
    std::vector<std::string_view>& captures_;
    const bool memoize_;
    std::vector<bool> failed_;
};

bool RouteMatcher::Match(std::string_view path, std::vector<std::string_view>& captures) const {
    if (literal_) {
        captures.clear();
        return path == template_;
    }
    captures.assign(captureCount_, std::string_view());
    return Search(*this, path, captures).MatchFrom(0, 0);
}

}  // namespace Nimbel
