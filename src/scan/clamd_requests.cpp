#include "scan/clamd_requests.h"

#include <algorithm>

namespace tolvar {

std::vector<std::string> ClamdRequestBook::NewSession() {
    std::vector<std::string> unanswered;
    for (auto& [id, path] : waiting_)
        unanswered.push_back(std::move(path));
    waiting_.clear();
    next_ = 1;
    return unanswered;
}

std::uint32_t ClamdRequestBook::Sent(std::string path) {
    const std::uint32_t id = next_++;
    waiting_[id] = std::move(path);
    return id;
}

std::optional<ClamdFileResult> ClamdRequestBook::Answer(const ClamdReply& reply) {
    if (!reply.id) return std::nullopt;
    const auto at = waiting_.find(*reply.id);
    if (at == waiting_.end()) return std::nullopt;
    ClamdFileResult result;
    switch (reply.verdict) {
        case ClamdVerdict::Empty:
            // Its OK follows for the same number; the file counts once.
            return std::nullopt;
        case ClamdVerdict::Clean:
            result.kind = ClamdFileResult::Kind::Clean;
            break;
        case ClamdVerdict::Found:
            result.kind = ClamdFileResult::Kind::Found;
            result.detail = reply.detail;
            break;
        case ClamdVerdict::Excluded:
            result.kind = ClamdFileResult::Kind::Excluded;
            break;
        case ClamdVerdict::Error:
        case ClamdVerdict::Other:
            // A numbered reply that is no verdict (a refused command) still
            // ends its request, and the file was not scanned.
            result.kind = ClamdFileResult::Kind::Unread;
            result.detail = reply.detail;
            break;
    }
    result.path = std::move(at->second);
    waiting_.erase(at);
    return result;
}

std::optional<ClamdFileResult> ClamdRequestBook::Abandon(std::uint32_t id, std::string reason) {
    const auto at = waiting_.find(id);
    if (at == waiting_.end()) return std::nullopt;
    ClamdFileResult result{std::move(at->second), ClamdFileResult::Kind::Unread, std::move(reason)};
    waiting_.erase(at);
    return result;
}

std::size_t ClamdRequestsInFlight(unsigned processors) {
    return std::clamp<std::size_t>(16 * static_cast<std::size_t>(processors), 16, 64);
}

}  // namespace tolvar
