// Every address of the vendor's web server is composed here, from the build's host constant.
#pragma once
#include <string>

namespace tf {

inline std::string vendorHost() { return TF_VENDOR_HOST; }
inline std::string vendorSiteUrl() { return "https://" + vendorHost(); }
inline std::string vendorUrl(const std::string& pathAfterHost) { return "https://" + vendorHost() + pathAfterHost; }

inline const char* const kUrlLicencia = "/version/";            // followed by the file name
inline const char* const kFicheroLicencia = "Licencia_KVT.txt";
inline const char* const kUrlControlFile = "/version/pack3.inf";
inline const char* const kUrlUtils = "/version/downloads/utils.zip";
inline const char* const kUrlTicador = "/version/downloads/turnaliafree.zip";
inline const char* const kReportAction = "includes/kvt_instalacion.php";

}  // namespace tf
