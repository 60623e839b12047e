#include "shell/CardsInfo.h"

#include "platform/wave/WaveApi.h"

namespace CardsInfo {

namespace {

struct FormatLine {
    uint32_t flag;
    const char* text;
};

// In the order shown: by rate, then mono before stereo, then 8 before 16 bit within each.
constexpr FormatLine FormatLines[] = {
    {wave::Format1M08, "\n11.025 kHz, mono, 8-bit"},
    {wave::Format1M16, "\n11.025 kHz, mono, 16-bit"},
    {wave::Format1S08, "\n11.025 kHz, stereo, 8-bit"},
    {wave::Format1S16, "\n11.025 kHz, stereo, 16-bit"},
    {wave::Format2M08, "\n22.05 kHz, mono, 8-bit"},
    {wave::Format2M16, "\n22.05 kHz, mono, 16-bit"},
    {wave::Format2S08, "\n22.05 kHz, stereo, 8-bit"},
    {wave::Format2S16, "\n22.05 kHz, stereo, 16-bit"},
    {wave::Format4M08, "\n44.1 kHz, mono, 8-bit"},
    {wave::Format4M16, "\n44.1 kHz, mono, 16-bit"},
    {wave::Format4S08, "\n44.1 kHz, stereo, 8-bit"},
    {wave::Format4S16, "\n44.1 kHz, stereo, 16-bit"},
};

}  // namespace

QString Block(unsigned deviceId, const wave::DeviceCaps& caps) {
    QString text = QStringLiteral("Waveout device nr %1, %2")
                       .arg(deviceId)
                       .arg(QString::fromStdString(caps.ProductName));
    text += QStringLiteral("\nNr of channels:%1").arg(caps.Channels);
    text += QStringLiteral("\nSupported formats:");
    for (const FormatLine& line : FormatLines)
        if (caps.Formats & line.flag)
            text += QString::fromLatin1(line.text);
    return text + QStringLiteral("\n\n\n");
}

QString Text() {
    QString text;
    const uint32_t count = wave::WaveOutGetNumDevs();
    for (uint32_t id = 0; id < count; ++id) {
        wave::DeviceCaps caps;
        if (wave::WaveOutGetDevCaps(id, caps) != wave::NoError)
            continue;
        text += Block(id, caps);
    }
    return text;
}

}  // namespace CardsInfo
