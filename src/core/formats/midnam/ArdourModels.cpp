#include "formats/midnam/ArdourModels.h"

#include <string>

namespace quorvix {

namespace {

// The <Model> names of the MIDNAM documents in Ardour's share/patchfiles (Ardour/ardour 22ed8656c, 471
// files), each between line ends.
constexpr std::string_view kShipped =
    "\n01 Bechstein 280\n01 Generic Brass\n01 Generic Harp\n01 Generic Percussion\n01 Generic Strings\n"
    "01 Generic Woodwinds\n01/W\n01/W Pro\n01/W ProX\n01/Wfd\n01R/W\n02 1FH KS Sus_Short C0-A#0\n"
    "02 1st Violins Sus KS C0-F#0 Ni\n02 Bosendorfer 290\n02 Harp KS Master C0-G#0\n"
    "02 PF KS Sus_Short C0-C1\n02 Tiimpani Flt KS\n03 1FH KS Effects C0-A0\n"
    "03 1st Violins Sus KS C0-F#0 Ni DIV A\n03 PF KS Runs FX C0-G0\n03 Steinway D\n03 Tiimpani Hrd KS\n"
    "03R/W\n04 1st Violins Sus KS C0-F#0 Ni DIV B\n04 2FH KS Sus_Short C0-G0\n04 FL KS Sus_Short C0-C#1\n"
    "04 Yamaha C7\n05 2FH KS Effects C0-F#0\n05 2nd Violins Sus KS C0-G#0 Ni\n05 FL KS Runs FX C0-G0\n"
    "05R/W\n06 2nd Violins Sus KS C0-G#0 Ni DIV A\n06 6FH KS Sus_Short C0-G#0\n"
    "06 FL2 KS Sus_Short C0-C#1\n07 2nd Violins Sus KS C0-G#0 Ni DIV B\n07 6FH KS Effects C0-A0\n"
    "07 FL2 KS Runs FX C0-G0\n08 1TP KS Sus_Short C0-A0\n08 AF KS Sus_Short C0-F#0\n"
    "08 Violas Sus KS C0-G0 Ni\n09 1TP KS Effects C0-E0\n09 BF KS Sus_Short C0-E0\n"
    "09 Violas Sus KS C0-G0 Ni DIV A\n10 2TP KS Sus_Short C0-G#0\n10 OB KS Sus_Short C0-A#0\n"
    "10 Violas Sus KS C0-G0 Ni DIV B\n11 2TP KS Effects C0-A0\n11 Celli Sus KS C0-F#0 Ni\n"
    "11 OB KS Runs FX C0-G0\n12 3TP KS Sus_Short C0-A#0\n12 Celli Sus KS C0-F#0 Ni DIV A\n"
    "12 EH KS Sus_Short C0-A#0\n1200 Pro I\n1200 Pro II\n13 3TP KS Effects C0-A0\n"
    "13 CL KS Sus_Short C0-A#0\n13 Celli Sus KS C0-F#0 Ni DIV B\n14 1TB KS Sus_Short C0-G#0\n"
    "14 Basses Sus KS C4-F4 Ni\n14 CL KS Runs FX C0-G0\n15 1TB KS Effects C0-E0\n15 BC Sus_Short C0-A0\n"
    "15 Basses Sus KS C4-F4 Ni DIV A\n16 3TB KS Sus_Short C#4-G#4\n16 BS KS Sus_Short C0-G#0\n"
    "16 Basses Sus KS C4-F4 Ni DIV B\n17 3TB KS Effects C#4-F4\n17 BS KS Runs FX C0-G0\n"
    "18 1CM KS Sus_Short_FX C#3-G3\n18 CB KS Sus_Short C3-G#3\n19 1TU KS Sus_Short C3-G#3\n"
    "20 1TU KS Effects C3-E3\n21 LB KS Sus_Short C0-D0\n22 LB KS Effects C3-B3\n300\n503\n?\nA-Station\n"
    "AG-10\nAG-3\nAN1X\nAddictive Drums\nAddictive Drums (Brushes)\nAddictive Drums 2\n"
    "Addictive Drums 2 (Brushes)\nAdrenaLinn II\nAudity 2000\nB-3\nB-3 Turbo\nBass POD\nBass PODxt\n"
    "Bass Station Rack\nBassStationII\nBlofeld\nBlofeld 2012\nBoss DS-330\nBoss GT-3\nBoss GT-8\n"
    "Boss SE-50\nBoss SE-70 (Guitar)\nBoss SE-70 (Standard)\nC-15\nC-25\nC-303\nC-505\nCS1X\nCS2X\nCS6R\n"
    "CS6x\nCVP-103/105\nCVP-107/109/700\nCX3\nCZ-1\nCircuit\nD-10\nD-110\nD-5\nD-50\nD-550\nD-70\nDM5\n"
    "DPM-V3\nDRP-20x\nDSP-128\nDSP128plus\nDW-8000\nDX-7\nDrum Station Rack\nDrumStation\nDrumbrute\n"
    "ER-1\nESQ-1\nESQ-M\nEX-5\nEX-5/7\nEX-8000\nEchoPro\nEclipse\nEvolver\nFS1R\nFantom\nFantom X\n"
    "Fantom X8\nFantom XR\nFantom-Xa\nFilterPro\nGMega\nGR-1\nGR-1 w/Exp\nGR-30\nGR-33\nGeneric\n"
    "Grandmother\nHALO\nHandsonic\nJ-Station\nJD-990\nJP-8000\nJP-8080\nJV-1000\nJV-1010\nJV-1080\n"
    "JV-2080\nJV-30\nJV-35\nJV-50\nJV-80\nJV-880\nJV-90\nJX-305\nJX-8P\nJuno-106\nK1\nK11\nK1200\nK1r\n"
    "K2000\nK2000R\nK2500\nK2500X\nK2600\nK2661\nK2700\nKARMA\nKS-32\nKross 2\nM-BD1\nM-DC1\nM-GS64\n"
    "M-OC1\nM-SE1\nM-VS1\nM1\nM1R\nM3000\nM3R\nMBase 11\nMC-303\nMC-307\nMC-505\nMF-104M Analog Delay\n"
    "MF-108M Cluster Flux\nMIDIVerb 4\nMIDIVerb II\nMIDIVerb III\nMK-6\nMM6\nMOTIF 6\nMOTIF 7\nMOTIF 8\n"
    "MOTIF ES6\nMOTIF ES7\nMOTIF ES8\nMOTIF Rack\nMOTIF XS\nMOTIF-RACK ES\nMP-7\nMP1\nMPS\nMPS+Orch.\n"
    "MPX-1\nMPX-500\nMPX100\nMPX500\nMR-61\nMR-76\nMR-Rack\nMS2000R\nMT-32\nMU100R\nMU10XG\nMU50\nMU80\n"
    "MU90R\nMX 49/61/88\nMX200\nMacWaveMaker\nMark 12:152\nMatrix-1000\nMicro Piano\nMicro Q\nMicroKORG\n"
    "MicroVerb4\nMinitaur\nMo Phatt\nMo' Phatt\nMo' Phatt Turbo\nModPro\nMopho\nMorpheus\n"
    "Multiverb Alpha 2.0\nN1\nN264\nN364\nN5\nNP-V80\nNS5R\nNX5R\nNanoBass\nNanoPiano\nNanoSynth\n"
    "Nord Lead\nNord Lead II\nNord Modular\nNord Rack\nNord Rack 3\nNova\nOrbit\nOrbit 3\nOrbit V2\n"
    "Orbit V3\nP-121/125\nPC2/PC2r\nPC2/PC2r w/Orch\nPC3A\nPC88\nPC88 MX\nPC88+VGM\nPCM-80\nPCM-81\n"
    "PCM-90\nPCM-91\nPK-6\nPMA-5\nPOD\nPOD 2.0\nPOD Pro\nPODxt\nPSR 540\nPSR-275\nPSR-530/630/730\n"
    "PSR-8000\nPSR-9000\nPSR-DJX\nPSR-DJX II\nPSR-S900\nPX Plus\nPlanet Earth\nPlanet Earth Turbo\n"
    "Planet Phatt\nProcussion\nProphecy\nProphet 600\nProteus 1000\nProteus 2000\nProteus 2500\n"
    "Proteus Custom\nProteus/1\nProteus/1 XR\nProteus/1 XR+Orch.\nProteus/1 w/Protologic\nProteus/2\n"
    "Proteus/2 XR\nProteus/3\nProteus/3 XR\nProteusFX\nPulse\nQ20\nQS-R\nQS300\nQS6\nQS6.1\nQS7\nQS7.1\n"
    "QS8\nQS8.1\nQY70\nQuad 4\nQuadraSynth\nQuadraSynth Plus\nQuadraverb 2\nQuadraverb Plus\nR-8M\n"
    "RADIAS\nRD-250s\nRD-600\nRD-700\nRD-700sx\nRM50\nRS-5/9\nRS-9\nReplifex\nRetro AS-1\nS100\nS30\nS4\n"
    "S4 Plus\nS80\nS90\nSC-50\nSC-55\nSC-55mkII\nSC-7\nSC-88\nSC-88 Pro\nSD-1\nSH-32\nSP4\nSP88x\nSQ-1\n"
    "SQ-1 Plus\nSQ-1 Plus/32\nSQ-2\nSQ-2/32\nSQ-R\nSQ-R Plus\nSQ-R Plus/32\nSR-16\nSY77\nSY85\nSY99\n"
    "Sirius\nSlim Phatty\nSo3\nSo8\nSonicCell\nSoundEngine\nSubsequent 37\nSuper BassStation\n"
    "Supernova II\nT1\nTB-03\nTG100\nTG500\nTG77\nTM-D1000\nTR Workstation\nTR-Rack\nTS-10\nTS-12\n"
    "TX81Z\nTanzbar\nTetra\nTrinity\nTrinity Plus\nTrinity Pro X\nTrinity Track\nTriton\nTriton Le\n"
    "Triton Studio\nTriton-Rack\nTyros\nTyros2\nU-220\nUltraProteus\nV-Synth GT\nVFX SD\nVintage Keys\n"
    "Vintage Keys (kbd)\nVintage Pro\nVirtuoso 2000\nVirus A\nVirus B\nVirus Indigo\nVirus KB\n"
    "Virus Rack\nVolca Bass\nVolca Beats\nVolca Keys\nWavestation A/D\nWavestation EX\nWavestation SR\n"
    "Whammy DT\nX2\nX3\nX3R\nX5\nX50\nX5D\nX5DR\nXK-6\nXL-1\nXL-1 Turbo\nXL-7\nXP-10\nXP-50\nXP-80\n"
    "XV-2020\nXV-3080\nXV-5050\nXV-5080\nXV-88\nXtream Lead 1\nZ1\nZR\ndeMoon\ni2\ni3\ni4s\n";

} // namespace

bool isArdourModel(std::string_view model)
{
    return model.find('\n') == std::string_view::npos &&
           kShipped.find("\n" + std::string(model) + "\n") != std::string_view::npos;
}

} // namespace quorvix
