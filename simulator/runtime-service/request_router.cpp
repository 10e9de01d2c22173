#include "request_router.h"

#include "protocol/messages.h"

namespace luxsim {

void RequestRouter::Handle(const std::string& op, RequestHandler handler) {
  handlers_[op] = std::move(handler);
}

void RequestRouter::AddFailureObserver(FailureObserver observer) {
  failureObservers_.push_back(std::move(observer));
}

void RequestRouter::Dispatch(const RequestContext& context, const Json::Value& request,
                             Reply reply) const {
  if (!failureObservers_.empty()) {
    reply = [this, context, send = std::move(reply)](Json::Value answer) {
      const luxResult result = answer.get(key::kResult, luxSuccess).asInt();
      if (LUX_FAILURE(result)) {
        const std::string error = answer.get(key::kError, "").asString();
        for (const FailureObserver& observer : failureObservers_) observer(context, result, error);
      }
      send(std::move(answer));
    };
  }
  const std::string op = request[key::kOp].asString();
  const auto handler = handlers_.find(op);
  if (handler == handlers_.end()) {
    reply(Answer(luxError_Unsupported, "The runtime service does not know the request " + op));
    return;
  }
  handler->second(context, request, std::move(reply));
}

Json::Value Answer(luxResult result, const std::string& error) {
  Json::Value answer(Json::objectValue);
  answer[key::kResult] = result;
  if (!error.empty()) answer[key::kError] = error;
  return answer;
}

}  // namespace luxsim
