#include "plat/ProductInfo.h"

namespace plat {

const char ProductInfo::version[] = "1.0.0";
const char ProductInfo::editionAndVersion[] = "Standard Edition 1.0.0 (r1)";
const char ProductInfo::ownershipNotice[] =
    "Copyright \xc2\xa9 2024-2026 Zav Software Ltd. All rights reserved.";
const char ProductInfo::trademarkNotice[] =
    "Zav\xc2\xae is a registered trademark of Zav Software Ltd.";
const char ProductInfo::warrantyNotice[] =
    "This software is provided without warranty; see the licence terms for details.";
const char ProductInfo::thirdPartyNotice[] =
    "Third-party components and their licences are listed in the file NOTICES.";
const char ProductInfo::webNotice[] = "See https://zav.example/ for information and support.";
const char ProductInfo::acknowledgementsFormat[] = "https://zav.example/docs/%.3s/acknowledgements";

} // namespace plat
