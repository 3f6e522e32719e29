// Where the site report's pictures come from: a camera of this family is asked over HTTP
// with the credentials given; an ONVIF device of another maker only through the engine,
// which sends the credentials that device accepted to its own snapshot address and nowhere
// else.

#include "engine/SiteReport.h"
#include "engine/TSmain.h"
#include "web/LibCurl.h"

namespace {

// What the engine's ONVIF picture fetch answered, as the report says it. A device that is
// not verified says why, when a read with credentials told it.
PictureMissing OnvifPictureMissing(int status, const CurlBuffer& body, const OnvifEntry& onvif) {
    if (status == 0)
        return PictureMissing::None;
    if (status == -3 && onvif.factsRead && onvif.outcome == tarsel::onvif::OnvifOutcome::CredentialsRefused)
        return PictureMissing::Refused;
    if (status == -3 && onvif.factsRead && onvif.outcome == tarsel::onvif::OnvifOutcome::NoAnswer)
        return PictureMissing::NoAnswer;
    if (status == -3)
        return PictureMissing::NotVerified;
    if (status == -2)
        return PictureMissing::NoOwnAddress;
    if (status == 401 || status == 403)
        return PictureMissing::Refused;
    // A libcurl result: the device did not answer in time, unless the body outgrew its share.
    if (status > 0 && status < 100 && !body.overMemory)
        return PictureMissing::NoAnswer;
    return PictureMissing::NotPicture;
}

}  // namespace

PictureSource ReportPictureSource(CTSmainDlg* engine, const CameraListing& camera,
                                  const std::string& user, const std::string& password) {
    PictureSource source{camera.ip, std::to_string(camera.httpPort > 0 ? camera.httpPort : 80),
                         user, password};
    if (camera.protocol != "onvif")
        return source;
    source.user.clear();
    source.password.clear();
    source.fetch = [engine, onvif = camera.onvif](CurlBuffer& body) {
        if (engine == nullptr || onvif == nullptr)
            return PictureMissing::NotVerified;
        return OnvifPictureMissing(engine->OnvifSnapshot(OnvifKey(onvif->endpoint), body), body, *onvif);
    };
    return source;
}
