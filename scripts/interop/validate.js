// Prints the Khronos validator's counts and messages for one glTF or GLB file.
const validator = require('gltf-validator');
const fs = require('fs');
const path = process.argv[2];
const data = new Uint8Array(fs.readFileSync(path));
validator.validateBytes(data, {uri: path, maxIssues: 100}).then(r => {
  console.log(JSON.stringify({errors: r.issues.numErrors, warnings: r.issues.numWarnings, infos: r.issues.numInfos, hints: r.issues.numHints, messages: r.issues.messages.map(m => `${m.severity} ${m.code} ${m.pointer||''} ${m.message}`)}, null, 1));
}).catch(e => { console.error(e); process.exit(1); });
