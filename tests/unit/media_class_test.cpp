#include "proxy/media_class.h"

#include <cstring>
#include <string>

#include <gtest/gtest.h>

namespace {

int Classify(const char* text, std::string* subtype = nullptr) {
    TextBuffer sub("stale");
    int result = ClassifyMediaType(TextBuffer(text), sub);
    if (subtype) {
        *subtype = sub.CStr() ? sub.CStr() : "";
    }
    return result;
}

} // namespace

TEST(MediaClass, MajorTypeDecidesTheClass) {
    std::string subtype;
    EXPECT_EQ(kMediaText, Classify("Text/HTML", &subtype));
    EXPECT_EQ("HTML", subtype);
    EXPECT_EQ(kMediaText, Classify("text/html; charset=x", &subtype));
    EXPECT_EQ("html;", subtype);
    EXPECT_EQ(kMediaText, Classify(" text/plain"));
    EXPECT_EQ(kMediaImage, Classify("image/gif"));
    EXPECT_EQ(kMediaAudio, Classify("AUDIO/basic"));
    EXPECT_EQ(kMediaVideo, Classify("video/mpeg"));
    EXPECT_EQ(kMediaOther, Classify("application/octet-stream"));
    EXPECT_EQ(kMediaOther, Classify("text;charset=x", &subtype));
    EXPECT_EQ("", subtype);
    EXPECT_EQ(kMediaText, Classify("text", &subtype));
    EXPECT_EQ("", subtype);
    EXPECT_EQ(kMediaNone, Classify("", &subtype));
    EXPECT_EQ("", subtype);
    EXPECT_EQ(kMediaNone, Classify(" / /"));
}

TEST(MediaClass, ExtensionTablesAreExactAndDisjoint) {
    EXPECT_STREQ(".cfm", kTextExtensions[0]);
    EXPECT_STREQ(".js", kTextExtensions[kTextExtensionCount - 1]);
    EXPECT_STREQ(".ai", kBinaryExtensions[0]);
    EXPECT_STREQ(".mpv2", kBinaryExtensions[63]);
    EXPECT_STREQ(".zip", kBinaryExtensions[kBinaryExtensionCount - 1]);
    std::string joined;
    for (const auto& ext : kTextExtensions) {
        joined += ext;
        EXPECT_EQ(1, IsTextExtension(TextBuffer(ext)));
        EXPECT_EQ(0, IsBinaryExtension(TextBuffer(ext)));
    }
    EXPECT_EQ(".cfm.css.dbm.htm.html.htp.htt.mdl.shtm.shtml.rt.txt.js", joined);
    joined.clear();
    for (const auto& ext : kBinaryExtensions) {
        joined += ext;
        EXPECT_LT(std::strlen(ext), static_cast<size_t>(kExtensionSlot));
        EXPECT_EQ(1, IsBinaryExtension(TextBuffer(ext)));
        EXPECT_EQ(0, IsTextExtension(TextBuffer(ext)));
    }
    EXPECT_EQ(".ai.aif.aifc.aiff.aim.arc.arj.art.asf.asx.au.avi.b64.bhx.bmp.cab.cdf"
              ".cer.class.crt.der.dll.dmp.doc.dot.eml.eps.exe.fdf.fif.fml.gif.gz.hqx"
              ".ins.isp.jfif.jpe.jpeg.jpg.latex.lsf.lsx.lzh.m1v.m3u.man.mht.mhtml.mid"
              ".mim.mov.movie.mp2.mp2v.mp3.mpa.mpd.mpe.mpeg.mpg.mpp.mpt.mpv2.nas.nws"
              ".ocx.pdf.pot.ppa.pps.ppt.prx.ps.pwz.qt.ra.ram.rar.rf.rm.rmi.rmm.rnx.rp"
              ".rpm.rtf.rv.sit.smi.snd.spl.ssm.swf.tar.taz.tgz.tif.tiff.tz.uu.uue.vdp"
              ".vsl.wav.wiz.xbm.xls.xxe.z.zip",
              joined);

    EXPECT_EQ(0, IsTextExtension(TextBuffer(".HTML")));
    EXPECT_EQ(0, IsTextExtension(TextBuffer("html")));
    EXPECT_EQ(0, IsTextExtension(TextBuffer()));
    EXPECT_EQ(0, IsBinaryExtension(TextBuffer()));
    for (const char* neither : {".asp", ".php", ".zi", ".zipx"}) {
        EXPECT_EQ(0, IsTextExtension(TextBuffer(neither)));
        EXPECT_EQ(0, IsBinaryExtension(TextBuffer(neither)));
    }
}
