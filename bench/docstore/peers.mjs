// The three docstore workloads on yjs, loro-crdt and @automerge/automerge.
// Prints "PEER <figure> <peer> <ms>" lines for bench/docstore.sh.
import * as Y from 'yjs';
import { LoroDoc, LoroMap } from 'loro-crdt';
import * as Automerge from '@automerge/automerge';

const kMaps = 10000, kConcurrent = 5000, kBase = 1000;
const now = () => performance.now();
// Reads are the best of kReadRounds, as in docstore_bench.
const kReadRounds = 10;
const best = (fn) => { let b = Infinity; for (let r = 0; r < kReadRounds; r++) { const t = now(); fn(); b = Math.min(b, now() - t); } return b; };
const out = (figure, peer, ms) => console.log(`PEER ${figure} ${peer} ${ms.toFixed(3)}`);
const record = (i) => ({ id: `anno-${i}`, page: 1 + (i % 50), kind: 'highlight', color: 'yellow',
                         author: 'You', x: 10.5 + i, y: 20.25, w: 100.0 });

// yjs
{
  const doc = new Y.Doc();
  const list = doc.getArray('annotations');
  let t = now();
  for (let i = 0; i < kMaps; i++) doc.transact(() => { const m = new Y.Map(); for (const [k, v] of Object.entries(record(i))) m.set(k, v); list.push([m]); });
  out('append_10k_maps', 'yjs', now() - t);
  let sum = 0;
  out('read_10k_maps', 'yjs', best(() => { for (const m of list.toArray()) for (const [k, v] of m.entries()) sum += k.length + (typeof v === 'string' ? 1 : 0); }));
  t = now();
  const bytes = Y.encodeStateAsUpdate(doc); const back = new Y.Doc(); Y.applyUpdate(back, bytes);
  back.getArray('annotations').length;
  out('save_load', 'yjs', now() - t);

  const a = new Y.Doc(); const al = a.getArray('annotations');
  for (let i = 0; i < kBase; i++) a.transact(() => { const m = new Y.Map(); for (const [k, v] of Object.entries(record(i))) m.set(k, v); al.push([m]); });
  const b = new Y.Doc(); Y.applyUpdate(b, Y.encodeStateAsUpdate(a));
  const edit = (d, salt) => { const l = d.getArray('annotations');
    for (let i = 0; i < kConcurrent; i++) { const len = l.length;
      if (i % 3 === 0) d.transact(() => { const m = new Y.Map(); for (const [k, v] of Object.entries(record(salt + i))) m.set(k, v); l.push([m]); });
      else if (i % 3 === 1) d.transact(() => l.get((i * 7 + salt) % len).set('color', salt ? 'blue' : 'pink'));
      else d.transact(() => l.delete((i * 13 + salt) % len, 1)); } };
  const sa = Y.encodeStateVector(a), sb = Y.encodeStateVector(b);
  edit(a, 0); edit(b, 1);
  const ua = Y.encodeStateAsUpdate(a, sb), ub = Y.encodeStateAsUpdate(b, sa);
  t = now(); Y.applyUpdate(a, ub); Y.applyUpdate(b, ua); a.getArray('annotations').length;
  out('merge_5k_each_way', 'yjs', now() - t);
}

// loro
{
  const doc = new LoroDoc();
  const list = doc.getList('annotations');
  let t = now();
  for (let i = 0; i < kMaps; i++) { const m = list.insertContainer(list.length, new LoroMap()); for (const [k, v] of Object.entries(record(i))) m.set(k, v); doc.commit(); }
  out('append_10k_maps', 'loro', now() - t);
  let sum = 0;
  out('read_10k_maps', 'loro', best(() => { for (let i = 0; i < list.length; i++) { const m = list.get(i); for (const [k, v] of m.entries()) sum += k.length + (typeof v === 'string' ? 1 : 0); } }));
  t = now();
  const bytes = doc.export({ mode: 'snapshot' }); const back = new LoroDoc(); back.import(bytes); back.getList('annotations').length;
  out('save_load', 'loro', now() - t);

  const a = new LoroDoc(); const al = a.getList('annotations');
  for (let i = 0; i < kBase; i++) { const m = al.insertContainer(al.length, new LoroMap()); for (const [k, v] of Object.entries(record(i))) m.set(k, v); a.commit(); }
  const b = new LoroDoc(); b.import(a.export({ mode: 'snapshot' }));
  const va = a.oplogVersion(), vb = b.oplogVersion();
  const edit = (d, salt) => { const l = d.getList('annotations');
    for (let i = 0; i < kConcurrent; i++) { const len = l.length;
      if (i % 3 === 0) { const m = l.insertContainer(len, new LoroMap()); for (const [k, v] of Object.entries(record(salt + i))) m.set(k, v); }
      else if (i % 3 === 1) l.get((i * 7 + salt) % len).set('color', salt ? 'blue' : 'pink');
      else l.delete((i * 13 + salt) % len, 1);
      d.commit(); } };
  edit(a, 0); edit(b, 1);
  const ua = a.export({ mode: 'update', from: vb }), ub = b.export({ mode: 'update', from: va });
  t = now(); a.import(ub); b.import(ua); a.getList('annotations').length;
  out('merge_5k_each_way', 'loro', now() - t);
}

// automerge
{
  let doc = Automerge.from({ annotations: [] });
  let t = now();
  for (let i = 0; i < kMaps; i++) doc = Automerge.change(doc, (d) => { d.annotations.push(record(i)); });
  out('append_10k_maps', 'automerge', now() - t);
  let sum = 0;
  out('read_10k_maps', 'automerge', best(() => { for (const m of doc.annotations) for (const [k, v] of Object.entries(m)) sum += k.length + (typeof v === 'string' ? 1 : 0); }));
  t = now();
  const bytes = Automerge.save(doc); const back = Automerge.load(bytes); back.annotations.length;
  out('save_load', 'automerge', now() - t);

  let a = Automerge.from({ annotations: [] });
  for (let i = 0; i < kBase; i++) a = Automerge.change(a, (d) => { d.annotations.push(record(i)); });
  let b = Automerge.load(Automerge.save(a));
  const edit = (d0, salt) => { let d = d0;
    for (let i = 0; i < kConcurrent; i++) { const len = d.annotations.length;
      if (i % 3 === 0) d = Automerge.change(d, (x) => { x.annotations.push(record(salt + i)); });
      else if (i % 3 === 1) d = Automerge.change(d, (x) => { x.annotations[(i * 7 + salt) % len].color = salt ? 'blue' : 'pink'; });
      else d = Automerge.change(d, (x) => { x.annotations.deleteAt((i * 13 + salt) % len); }); }
    return d; };
  a = edit(a, 0); b = edit(b, 1);
  const ca = Automerge.clone(a), cb = Automerge.clone(b);
  t = now(); const ma = Automerge.merge(ca, b); const mb = Automerge.merge(cb, a); ma.annotations.length; mb.annotations.length;
  out('merge_5k_each_way', 'automerge', now() - t);
}
