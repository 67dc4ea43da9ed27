// The Node-API entry of wexla.node.
#include <node_api.h>

namespace {

napi_value Init(napi_env /*env*/, napi_value exports) {
    return exports;
}

} // namespace

NAPI_MODULE(NODE_GYP_MODULE_NAME, Init)
