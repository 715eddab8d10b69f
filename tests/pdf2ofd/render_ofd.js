// Renders the pages of an OFD file with ofd.js in headless Chromium and compares each with
// an image of the same page, both turned grey.
//
// usage: node render_ofd.js OFD SCALE OUTPREFIX [REFERENCE.png ...]
// Page i is drawn at SCALE pixels per millimetre into OUTPREFIX-i.png; with references,
// prints one line per page: "page I mad M block B ink K ofd WxH pdf WxH", M the mean
// absolute difference of grey (0 to 1), B the same between 4x4 pixel block averages and K
// the reference's mean darkness, what a blank page scores.
// Without references it only prints "pages N" (for files that are only to be rendered).
const fs = require('fs');
const path = require('path');
const { chromium } = require('playwright-core');

async function main() {
  const [ofdPath, scaleText, outPrefix, ...refs] = process.argv.slice(2);
  const scale = parseFloat(scaleText);
  const browser = await chromium.launch({
    executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
    args: ['--no-sandbox', '--font-render-hinting=none', '--disable-lcd-text'],
  });
  try {
    const page = await browser.newPage({ deviceScaleFactor: 1, viewport: { width: 2400, height: 2400 } });
    page.on('pageerror', (e) => console.error('page error: ' + e.message));
    await page.setContent('<!doctype html><meta charset="utf-8"><body style="margin:0;background:#fff"></body>');
    await page.addScriptTag({ path: require.resolve('ofd.js/lib/ofd.umd.min.js') });
    const ofdB64 = fs.readFileSync(ofdPath).toString('base64');
    // Every page at the same pixels per millimetre: ofd.js derives its scale from the
    // width it is given, one decimal place, per page.
    const count = await page.evaluate(async ({ ofdB64, scale }) => {
      const bytes = Uint8Array.from(atob(ofdB64), (c) => c.charCodeAt(0));
      const doc = await new Promise((resolve, reject) => {
        ofd.parseOfdDocument({ ofd: bytes.buffer, success: (r) => resolve(r[0]), fail: reject });
      });
      window.__doc = doc;
      return doc.pages.length;
    }, { ofdB64, scale });
    for (let i = 0; i < count; ++i) {
      const size = await page.evaluate(({ i, scale }) => {
        const doc = window.__doc;
        const pageJson = doc.pages[i][Object.keys(doc.pages[i])[0]].json;
        const area = pageJson['ofd:Area'] || doc.document['ofd:CommonData']['ofd:PageArea'];
        const box = (area['ofd:PhysicalBox'] || area['ofd:ApplicationBox']).split(' ').map(parseFloat);
        const width = scale * box[2] + 10;
        const divs = ofd.renderOfd(width, doc);
        document.body.innerHTML = '';
        const div = divs[i];
        div.id = 'shown';
        div.style.marginBottom = '0';
        document.body.appendChild(div);
        return { w: div.style.width, h: div.style.height };
      }, { i, scale });
      await page.evaluate(() => document.fonts.ready);
      const out = `${outPrefix}-${i + 1}.png`;
      await page.locator('#shown').screenshot({ path: out });
      if (i < refs.length) {
        const mad = await page.evaluate(async ({ a, b }) => {
          const load = (src) => new Promise((resolve, reject) => {
            const img = new Image();
            img.onload = () => resolve(img);
            img.onerror = reject;
            img.src = src;
          });
          const [ia, ib] = await Promise.all([load(a), load(b)]);
          const w = Math.min(ia.width, ib.width), h = Math.min(ia.height, ib.height);
          const grey = (img) => {
            const c = document.createElement('canvas');
            c.width = w; c.height = h;
            const ctx = c.getContext('2d');
            ctx.fillStyle = '#fff'; ctx.fillRect(0, 0, w, h);
            ctx.drawImage(img, 0, 0);
            const d = ctx.getImageData(0, 0, w, h).data;
            const g = new Float32Array(w * h);
            for (let p = 0; p < w * h; ++p) g[p] = (0.299 * d[4 * p] + 0.587 * d[4 * p + 1] + 0.114 * d[4 * p + 2]) / 255;
            return g;
          };
          const ga = grey(ia), gb = grey(ib);
          let sum = 0, ink = 0;
          for (let p = 0; p < ga.length; ++p) {
            sum += Math.abs(ga[p] - gb[p]);
            ink += 1 - gb[p];
          }
          // The same over 4 by 4 pixel blocks (about a millimetre): glyph edges that the
          // two renderers smooth differently cancel out, missing or moved content does not.
          const B = 4, bw = Math.floor(w / B), bh = Math.floor(h / B);
          let blockSum = 0;
          for (let by = 0; by < bh; ++by) {
            for (let bx = 0; bx < bw; ++bx) {
              let a = 0, b = 0;
              for (let y = by * B; y < by * B + B; ++y) {
                for (let x = bx * B; x < bx * B + B; ++x) { a += ga[y * w + x]; b += gb[y * w + x]; }
              }
              blockSum += Math.abs(a - b) / (B * B);
            }
          }
          return { mad: sum / ga.length, block: blockSum / (bw * bh), ink: ink / ga.length, w, h, aw: ia.width, ah: ia.height, bw: ib.width, bh: ib.height };
        }, {
          a: 'data:image/png;base64,' + fs.readFileSync(out).toString('base64'),
          b: 'data:image/png;base64,' + fs.readFileSync(refs[i]).toString('base64'),
        });
        console.log(`page ${i + 1} mad ${mad.mad.toFixed(5)} block ${mad.block.toFixed(5)} ink ${mad.ink.toFixed(5)} ofd ${mad.aw}x${mad.ah} pdf ${mad.bw}x${mad.bh}`);
      }
    }
    console.log(`pages ${count}`);
  } finally {
    await browser.close();
  }
}

main().catch((e) => { console.error(String(e && e.stack || e)); process.exit(1); });
