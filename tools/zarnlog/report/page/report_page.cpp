#include "tools/zarnlog/report/page/report_page.h"

#include "tools/zarnlog/report/page/report_sections.h"
#include "tools/zarnlog/report/page/svg_writer.h"
#include "zarn_version.h"

namespace zarn::report {
namespace {

const char* const kStyle = R"(
:root{color-scheme:light;-webkit-print-color-adjust:exact;print-color-adjust:exact}
body{font:14px/1.45 system-ui,-apple-system,"Segoe UI",Roboto,"DejaVu Sans",sans-serif;color:#1b1b1b;margin:0 auto;max-width:62rem;padding:1.5rem}
h1{font-size:1.7rem;margin:0 0 .3rem}
h2{font-size:1.35rem;margin:0 0 .6rem;padding-bottom:.2rem;border-bottom:2px solid #1b1b1b}
h3{font-size:1.05rem;margin:1.2rem 0 .4rem}
section{margin-top:2.5rem}
table{border-collapse:collapse;margin:.4rem 0 1rem;font-size:.8rem;font-variant-numeric:tabular-nums}
caption{text-align:left;font-weight:600;padding:.2rem 0}
th,td{border-bottom:1px solid #ccc;padding:.15rem .4rem;text-align:left;vertical-align:top}
th{background:#eee}
.n{text-align:right;white-space:nowrap}
.name{white-space:nowrap}
tr.all td{font-weight:600;border-top:1px solid #777}
th.pass,td.pass{color:#11632a}
th.fail{color:#a61b1b}
figure{margin:.6rem 0 1.2rem}
figcaption{font-size:.8rem;color:#555;margin:.2rem 0}
svg{display:block;width:100%;height:auto;font:11px system-ui,sans-serif}
svg text{fill:#333}
svg .axis{stroke:#333;fill:none}
svg .grid{stroke:#e2e2e2}
svg .line{fill:none;stroke-width:1.4}
svg .spread{fill:#1f77b4;fill-opacity:.18}
svg .threshold{stroke:#a61b1b;stroke-dasharray:5 3}
svg .threshold-label{fill:#a61b1b}
svg .log-edge{stroke:#777;stroke-dasharray:2 3}
svg .gap{stroke:#fff;stroke-width:3}
svg .note-tick{fill:#e6550d}
svg .note-label{fill:#a63603;font-size:10px}
svg.map{max-width:100%;height:auto}
svg .map-ground{fill:#f4f4f4}
svg .few{opacity:.9}
svg .undersampled{fill:none;stroke:#d00;stroke-width:2}
svg .scale{fill:none;stroke:#000;stroke-width:1.5}
svg .region{fill:none;stroke:#000;stroke-width:2;stroke-dasharray:6 3}
svg .estimate{stroke:#000;stroke-width:3}
svg .north path{fill:#000}
.key{font-size:.8rem}
.swatch{display:inline-block;width:.9em;height:.9em;margin:0 .25em 0 .5em;vertical-align:-.1em;border:1px solid #999}
.swatch.hatched{background:repeating-linear-gradient(45deg,#999 0 2px,#fff 2px 5px)}
.swatch.outlined{border:2px solid #d00}
.why{padding:.5rem .7rem;background:#fff4e5;border-left:4px solid #e6a23c}
.note{color:#555;font-size:.85rem}
.readout{position:fixed;display:none;white-space:pre;background:#fff;border:1px solid #888;padding:.3rem .5rem;font-size:.8rem;pointer-events:none;box-shadow:0 1px 4px rgba(0,0,0,.25)}
@page{size:A4;margin:14mm 12mm}
@media print{
body{max-width:none;padding:0;font-size:9.5pt}
section{margin-top:0;break-before:page}
header+section{break-before:auto}
table,figure,.key,.why{break-inside:avoid}
tr{break-inside:avoid}
h2,h3,caption{break-after:avoid}
.readout{display:none!important}
}
)";

// Shows the values under the pointer of a chart that carries data-readout.
const char* const kScript = R"(
(function () {
  var tip = document.createElement('div');
  tip.className = 'readout';
  document.body.appendChild(tip);
  function stamp(d, f) {
    var part = d.parts[0];
    for (var i = 0; i < d.parts.length; i++) if (d.parts[i][0] <= f) part = d.parts[i];
    return new Date((part[1] + (f - part[0]) * d.total) * 1000).toISOString().slice(0, 19).replace('T', ' ');
  }
  function place(d, x) {
    if (d.xs) {
      var mhz = d.x0 + (x - d.left) / d.width * (d.x1 - d.x0), best = 0;
      for (var i = 1; i < d.xs.length; i++) if (Math.abs(d.xs[i] - mhz) < Math.abs(d.xs[best] - mhz)) best = i;
      return mhz < d.x0 || mhz > d.x1 ? null : {i: best, label: d.xs[best].toFixed(3) + ' MHz'};
    }
    var c = Math.floor((x - d.left) / d.width * d.n);
    return c < 0 || c >= d.n ? null : {i: c, label: stamp(d, (c + 0.5) / d.n)};
  }
  document.querySelectorAll('svg[data-readout]').forEach(function (svg) {
    var d = JSON.parse(svg.getAttribute('data-readout'));
    svg.addEventListener('mousemove', function (e) {
      var box = svg.getBoundingClientRect(), at = place(d, (e.clientX - box.left) * svg.viewBox.baseVal.width / box.width);
      if (!at) { tip.style.display = 'none'; return; }
      var lines = [at.label];
      d.series.forEach(function (s) { var v = s.v[at.i]; lines.push(s.name + ': ' + (v === null ? '\u2013' : v + ' ' + d.unit)); });
      tip.textContent = lines.join('\n');
      tip.style.left = (e.clientX + 14) + 'px';
      tip.style.top = (e.clientY + 14) + 'px';
      tip.style.display = 'block';
    });
    svg.addEventListener('mouseleave', function () { tip.style.display = 'none'; });
  });
})();
)";

}  // namespace

std::string reportPage(const ReportData& data) {
    const std::string title = data.options.title.empty() ? "Survey report" : data.options.title;
    std::string out = "<!doctype html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
                      "<meta name=\"viewport\" content=\"width=device-width,initial-scale=1\">"
                      "<meta name=\"generator\" content=\"zarnlog " + std::string(kZarnVersion) + "\"><title>";
    svg::appendEscaped(out, title);
    out += "</title><style>" + std::string(kStyle) + "</style></head>\n<body>\n<header><h1>";
    svg::appendEscaped(out, title);
    out += "</h1><p class=\"note\">";
    svg::appendEscaped(out, std::to_string(data.logs.size()) + (data.logs.size() == 1 ? " log" : " logs") +
                                ", made by zarnlog " + kZarnVersion + ".");
    out += "</p></header>\n";
    writeSummary(data, out);
    writeChannels(data, out);
    writeGrid(data, out);
    writeDominance(data, out);
    writeSpectrum(data, out);
    writeDriveChecks(data, out);
    writeSources(data, out);
    out += "<script>" + std::string(kScript) + "</script>\n</body></html>\n";
    return out;
}

}  // namespace zarn::report
