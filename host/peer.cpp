#include "host/peer.h"

namespace KzoHost {

PeerAnswer PeerAnswer::WithValue(Nimbel::BindingProperty value) {
    PeerAnswer answer;
    answer.value = std::move(value);
    return answer;
}

PeerAnswer PeerAnswer::WithError(uint32_t status, std::string text) {
    PeerAnswer answer;
    answer.status = status;
    answer.errorText = std::move(text);
    return answer;
}

PeerAnswer PeerAnswer::WithStream(std::string json, std::vector<uint32_t> chunkSizes) {
    PeerAnswer answer;
    answer.streamedBody = std::move(json);
    answer.chunkSizes = std::move(chunkSizes);
    return answer;
}

PeerAnswer PeerAnswer::NoPeerServes(const std::string& path) {
    return WithError(404, "No plug-in serves " + path);
}

}  // namespace KzoHost
