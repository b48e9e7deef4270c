// Loads one glTF file with three.js's own loader, plays its first
// animation and offers the test two calls: showFrame(frame, fps, opaque),
// which poses the scene at that frame's time and draws it from the file's
// camera, and the state of the load.
//   index.html?file=NAME.glb&w=WIDTH&h=HEIGHT
import * as THREE from 'three';
import { GLTFLoader } from 'three/addons/loaders/GLTFLoader.js';

const params = new URLSearchParams(location.search);
const width = Number(params.get('w')) || 640;
const height = Number(params.get('h')) || 480;
const state = { ready: false, error: null, playedFrames: 0, duration: 0 };
window.kinovela = state;

const renderer = new THREE.WebGLRenderer({ antialias: false, alpha: true, preserveDrawingBuffer: true });
renderer.setPixelRatio(1);
renderer.setSize(width, height);
document.body.appendChild(renderer.domElement);

try {
    const gltf = await new GLTFLoader().loadAsync(params.get('file'));
    const scene = gltf.scene;
    const camera = gltf.cameras[0] || new THREE.PerspectiveCamera(10, 1, 1, 100);
    camera.aspect = width / height;
    camera.updateProjectionMatrix();
    // The preview's light: from the viewer, with a grey ambient.
    scene.add(new THREE.AmbientLight(0xffffff, 1.2));
    const light = new THREE.DirectionalLight(0xffffff, 2.0);
    light.position.set(0, 0, 1);
    camera.add(light);
    if (!camera.parent) scene.add(camera);

    const mixer = new THREE.AnimationMixer(scene);
    const clip = gltf.animations[0];
    if (clip) {
        mixer.clipAction(clip).play();
        state.duration = clip.duration;
    }
    const clock = new THREE.Clock();
    let playing = true;
    renderer.setAnimationLoop(() => {
        if (!playing) return;
        mixer.update(clock.getDelta());
        renderer.render(scene, camera);
        state.playedFrames += 1;
    });

    // Poses every model at the frame's time and draws one picture: on a
    // transparent background for the silhouette, or on the preview's.
    state.showFrame = (frame, fps, opaque) => {
        playing = false;
        renderer.setAnimationLoop(null);
        mixer.setTime(frame / fps);
        renderer.setClearColor(opaque ? 0x1e415a : 0x000000, opaque ? 1 : 0);
        renderer.render(scene, camera);
        return true;
    };
    state.ready = true;
} catch (e) {
    state.error = String(e && e.stack ? e.stack : e);
}
