// node validate.js FILE...: the Khronos validator over each glTF; prints its
// counts and any errors and warnings, and fails when one has an error.
const fs = require('fs');
const validator = require('gltf-validator');
(async () => {
  let failed = 0;
  for (const file of process.argv.slice(2)) {
    const report = await validator.validateBytes(new Uint8Array(fs.readFileSync(file)), {uri: file, maxIssues: 50});
    const i = report.issues;
    const shown = i.messages.filter(m => m.severity <= 1).map(m => `  ${m.severity == 0 ? 'error' : 'warning'} ${m.code} ${m.pointer || ''}: ${m.message}`);
    console.log(`${file}: ${i.numErrors} errors, ${i.numWarnings} warnings, ${i.numInfos} infos`);
    if (shown.length) console.log(shown.slice(0, 8).join('\n'));
    if (i.numErrors) failed++;
  }
  process.exit(failed ? 1 : 0);
})();
